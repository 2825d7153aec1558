/* The PNG writer's implementation for the Windows build; on Linux it comes from libstb. */
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
