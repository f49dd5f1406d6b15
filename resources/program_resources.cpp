// The names under which the program's compiled-in icon, click and pictures are found.
#include "program_resources.h"

namespace programResources {

const char kProgramIcon[] = ":/program_icon.ico";
const char kClickSound[] = ":/click.wav";
const char kDonationPicture1[] = ":/donation_1.png";
const char kDonationPicture2[] = ":/donation_2.png";
const char kFeedbackPicture[] = ":/feedback.jpg";

} // namespace programResources
