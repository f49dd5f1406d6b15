// placeholder (being replaced by the resources work): silent click
#include "click_sound.h"
namespace { class SilentClick : public ClickSound { public: void play() override {} }; }
std::unique_ptr<ClickSound> makeClickSound() { return std::make_unique<SilentClick>(); }
