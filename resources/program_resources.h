// The names under which the program's compiled-in icon, click and pictures are found.
#pragma once

namespace programResources {

extern const char kProgramIcon[];
extern const char kClickSound[];
extern const char kDonationPicture1[];
extern const char kDonationPicture2[];
extern const char kFeedbackPicture[];

} // namespace programResources
