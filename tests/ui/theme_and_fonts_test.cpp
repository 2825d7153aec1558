// The dark theme, the four fonts and the DPI scaling of fonts and style sizes.
#include <gtest/gtest.h>

#include <limits>

#include "tests/support/test_environment.h"
#include "tests/support/test_processes.h"
#include "tests/ui/headless_gui.h"
#include "ui/fonts.h"
#include "ui/theme.h"

static bool same(const ImVec4& a, const ImVec4& b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; }

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override { set_variable("STRELVIK_HISTORY", dir.file("history.json")); }
  void TearDown() override { unset_variable("STRELVIK_HISTORY"); }
  TempDir dir;
};

TEST_F(UiTest, TheThemeSetsItsColoursByNameAndLeavesTheOtherSlotsAtTheDarkDefaults) {
  HeadlessGui gui;
  ImGuiStyle defaults;
  ImGui::StyleColorsDark(&defaults);
  apply_theme();
  const ImVec4* c = ImGui::GetStyle().Colors;
  EXPECT_TRUE(same(c[ImGuiCol_WindowBg], ImVec4(0.051f, 0.051f, 0.051f, 1.0f)));
  EXPECT_TRUE(same(c[ImGuiCol_ChildBg], ImVec4(0.078f, 0.078f, 0.078f, 1.0f)));
  // Tab and TabHovered sit in swapped slots in this version of the library: set by name, each
  // gets its own colour.
  EXPECT_TRUE(same(c[ImGuiCol_Tab], ImVec4(0.12f, 0.12f, 0.12f, 1.0f)));
  EXPECT_TRUE(same(c[ImGuiCol_TabHovered], ImVec4(0.0f, 0.6f, 0.48f, 0.8f)));
  EXPECT_TRUE(same(c[ImGuiCol_TableHeaderBg], ImVec4(0.12f, 0.12f, 0.12f, 1.0f)));
  EXPECT_TRUE(same(c[ImGuiCol_PlotHistogram], ImVec4(1.0f, 0.42f, 0.208f, 1.0f)));
  EXPECT_TRUE(same(c[ImGuiCol_TableRowBgAlt], ImVec4(0.05f, 0.05f, 0.05f, 1.0f)));
  for (int slot : {int(ImGuiCol_TabActive), int(ImGuiCol_TabUnfocused), int(ImGuiCol_TabUnfocusedActive),
                   int(ImGuiCol_PlotLinesHovered)}) {
    EXPECT_TRUE(same(c[slot], defaults.Colors[slot])) << ImGui::GetStyleColorName(slot);
  }
  for (int slot = ImGuiCol_TextSelectedBg; slot < ImGuiCol_COUNT; ++slot) {
    EXPECT_TRUE(same(c[slot], defaults.Colors[slot])) << ImGui::GetStyleColorName(slot);
  }
  const ImGuiStyle& style = ImGui::GetStyle();
  EXPECT_EQ(style.WindowPadding.x, 12);
  EXPECT_EQ(style.WindowBorderSize, 0);
  EXPECT_EQ(style.ChildBorderSize, 1);
  EXPECT_EQ(style.FramePadding.y, 5);
  EXPECT_EQ(style.TabRounding, 4);
}

TEST_F(UiTest, FontFilesAreFoundByFamilyAndASubstituteIsNotTakenForAMissingOne) {
  const FontFiles files = find_font_files();
  EXPECT_FALSE(files.body.empty()) << "no sans-serif outline font found";
  EXPECT_FALSE(files.mono.empty()) << "no monospace outline font found";
  EXPECT_NE(files.body, files.mono);
  EXPECT_EQ(find_font_file({"No Such Family 4711"}), "");
  // The next family is tried when a named one is missing.
  const std::string monospace = find_font_file({"monospace"});
  EXPECT_FALSE(monospace.empty());
  EXPECT_EQ(find_font_file({"No Such Family 4711", "monospace"}), monospace);
}

TEST_F(UiTest, AtOneAndAHalfTheFontsAndStyleSizesGrowByHalf) {
  HeadlessGui gui;
  apply_theme();
  App app;
  const FontFiles files = find_font_files();
  ASSERT_FALSE(files.body.empty());
  ASSERT_FALSE(files.mono.empty());
  load_fonts(app, 1.5f, files);
  gui.build_fonts();
  EXPECT_EQ(app.dpi_scale, 1.5f);
  ASSERT_NE(app.font_body, nullptr);
  EXPECT_EQ(app.font_body->FontSize, 24.0f);
  EXPECT_EQ(app.font_mono->FontSize, 22.5f);
  EXPECT_EQ(app.font_mono_large->FontSize, 42.0f);
  EXPECT_EQ(app.font_heading->FontSize, 36.0f);
  // The first font added is the one the library uses by default.
  EXPECT_EQ(ImGui::GetIO().Fonts->Fonts[0], app.font_body);
  const ImGuiStyle& style = ImGui::GetStyle();
  EXPECT_EQ(style.WindowPadding.x, 18.0f);
  EXPECT_EQ(style.WindowPadding.y, 18.0f);
  EXPECT_EQ(style.ItemSpacing.x, 12.0f);
  EXPECT_EQ(style.ItemSpacing.y, 9.0f);
}

TEST_F(UiTest, WithoutFontFilesEveryFontIsTheBuiltInOneAndTheLayoutStillDraws) {
  HeadlessGui gui;
  apply_theme();
  App app;
  load_fonts(app, 1.0f, FontFiles{});
  gui.build_fonts();
  ASSERT_NE(app.font_body, nullptr);
  ASSERT_NE(app.font_mono, nullptr);
  EXPECT_NE(app.font_body, app.font_mono);  // a second instance of the built-in font
  EXPECT_EQ(app.font_mono_large, app.font_mono);
  EXPECT_EQ(app.font_heading, app.font_body);
  EXPECT_EQ(app.font_body->FontSize, 13.0f);  // the built-in font keeps its own size
  gui.frame(app);
  const std::string text = gui.frame(app);
  EXPECT_NE(text.find("STRELVIK"), std::string::npos);
}

TEST(DpiScale, ComesFromTheContentScaleAndFallsBackToOne) {
  EXPECT_EQ(dpi_scale_from_content_scale(1.0f), 1.0f);
  EXPECT_EQ(dpi_scale_from_content_scale(1.25f), 1.25f);
  EXPECT_EQ(dpi_scale_from_content_scale(0.0f), 1.0f);
  EXPECT_EQ(dpi_scale_from_content_scale(-2.0f), 1.0f);
  EXPECT_EQ(dpi_scale_from_content_scale(std::numeric_limits<float>::quiet_NaN()), 1.0f);
}
