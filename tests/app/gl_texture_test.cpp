// The OpenGL preview texture on a real context (Mesa on a virtual X screen), read back with
// glGetTexImage: what the window will actually show.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <cstdlib>

#include "app/gl_texture.h"
#include "engine/preview_image.h"
#include "tests/app/virtual_screen.h"

class GlTextureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(screen.display().empty()) << "Xvfb did not start";
    setenv("DISPLAY", screen.display().c_str(), 1);
    ASSERT_EQ(glfwInit(), GLFW_TRUE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    window = glfwCreateWindow(64, 64, "gl texture test", nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    glfwMakeContextCurrent(window);
  }
  void TearDown() override {
    texture.release();
    if (window != nullptr) glfwDestroyWindow(window);
    glfwTerminate();
  }

  std::vector<std::uint8_t> read_back() {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(texture.get_width()) * texture.get_height() * 4, 0xAB);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(reinterpret_cast<std::uintptr_t>(texture.get_texture())));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return bytes;
  }

  TempDir dir;
  VirtualScreen screen{dir};
  GLFWwindow* window = nullptr;
  GlTexture texture;
};

TEST_F(GlTextureTest, ANewTextureIsTransparentBlackThenHoldsEachUpload) {
  EXPECT_FALSE(texture.is_valid());
  EXPECT_EQ(texture.get_texture(), nullptr);
  PreviewImage image(40, 30);
  texture.update_texture(image, 40, 30);  // no texture yet: nothing is created
  EXPECT_FALSE(texture.is_valid());

  texture.create_texture(40, 30);
  ASSERT_TRUE(texture.is_valid());
  EXPECT_EQ(read_back(), std::vector<std::uint8_t>(40 * 30 * 4, 0));

  store_pixel(image.data(), 0, pack_rgba(255, 0, 0, 255));
  store_pixel(image.data(), 40 * 30 - 1, pack_rgba(1, 2, 3, 4));
  texture.update_texture(image, 40, 30);
  EXPECT_EQ(read_back(), image.snapshot());
}

TEST_F(GlTextureTest, AnUploadOfAnotherSizeRecreatesTheTextureAtThatSize) {
  texture.create_texture(1920, 1080);
  PreviewImage image(33, 17);  // odd sizes: rows are still whole pixels, never padded
  for (std::size_t i = 0; i < image.pixel_count(); ++i) {
    store_pixel(image.data(), i, pack_rgba(static_cast<std::uint8_t>(i), 7, static_cast<std::uint8_t>(i >> 8), 255));
  }
  texture.update_texture(image, 33, 17);
  EXPECT_EQ(texture.get_width(), 33);
  EXPECT_EQ(texture.get_height(), 17);
  EXPECT_EQ(read_back(), image.snapshot());
}
