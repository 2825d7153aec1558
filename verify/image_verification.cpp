#include "verify/image_verification.h"

const char* const kStandardImageSha256 = "b2f076d5211c16a919c5c123a0e18c70dd01359ffcd6d3481545049d0a7b8147";
