// The command line of `glint`: every form of each option, and one line naming what
// was wrong for anything else.
#include "shell/options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace glint {
namespace {

bool parse(std::initializer_list<const char*> arguments, ShowOptions& options, std::string& error) {
    std::vector<const char*> argv{"glint"};
    argv.insert(argv.end(), arguments);
    return parseShowOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(ShowOptions, EveryOptionInEveryForm) {
    ShowOptions options;
    std::string error;
    ASSERT_TRUE(parse({}, options, error));
    EXPECT_EQ(options.scale, 1);
    EXPECT_EQ(options.drawSize, DrawSize::window);
    EXPECT_EQ(options.device, DeviceChoice::automatic);
    EXPECT_TRUE(options.vsync);
    EXPECT_FALSE(options.fullscreen);

    ASSERT_TRUE(parse({"-f", "--scale", "3", "--size=1920x1080", "--device", "software",
                       "--no-vsync", "--threads=7", "-h", "--version"},
                      options, error))
        << error;
    EXPECT_TRUE(options.fullscreen);
    EXPECT_EQ(options.scale, 3);
    EXPECT_EQ(options.drawSize, DrawSize::fixed);
    EXPECT_EQ(options.drawWidth, 1920);
    EXPECT_EQ(options.drawHeight, 1080);
    EXPECT_EQ(options.device, DeviceChoice::software);
    EXPECT_FALSE(options.vsync);
    EXPECT_EQ(options.threads, 7);
    EXPECT_TRUE(options.help);
    EXPECT_TRUE(options.version);

    ASSERT_TRUE(parse({"--size", "native", "--dev=opengl", "--sc=8"}, options, error));
    EXPECT_EQ(options.drawSize, DrawSize::native);
    EXPECT_EQ(options.device, DeviceChoice::opengl);
    EXPECT_EQ(options.scale, 8);
}

TEST(ShowOptions, ABadOptionOrValueIsNamed) {
    const struct {
        std::initializer_list<const char*> arguments;
        const char* error;
    } cases[] = {
        {{"--colour"}, "unknown option '--colour'"},
        {{"-x"}, "unknown option '-x'"},
        {{"fullscreen"}, "unexpected argument 'fullscreen'"},
        {{"--s", "2"}, "unknown option '--s'"},  // --scale or --size
        {{"-fx"}, "unknown option '-x'"},
        {{"--scale"}, "--scale needs a whole number from 1 to 8"},
        {{"--scale", "0"}, "--scale takes a whole number from 1 to 8, not '0'"},
        {{"--scale=9"}, "--scale takes a whole number from 1 to 8, not '9'"},
        {{"--scale", "2x"}, "--scale takes a whole number from 1 to 8, not '2x'"},
        {{"--size", "1920"}, "--size takes WxH (16 to 16384 each) or native, not '1920'"},
        {{"--size=1920x"}, "--size takes WxH (16 to 16384 each) or native, not '1920x'"},
        {{"--size=8x6"}, "--size takes WxH (16 to 16384 each) or native, not '8x6'"},
        {{"--size=20000x1080"}, "--size takes WxH (16 to 16384 each) or native, not '20000x1080'"},
        {{"--size=-640x480"}, "--size takes WxH (16 to 16384 each) or native, not '-640x480'"},
        {{"--device", "gpu"}, "--device takes auto, opengl or software, not 'gpu'"},
        {{"--threads=0"}, "--threads takes a whole number from 1 to 64, not '0'"},
        {{"--fullscreen=yes"}, "--fullscreen takes no value"},
    };
    for (const auto& bad : cases) {
        ShowOptions options;
        std::string error;
        EXPECT_FALSE(parse(bad.arguments, options, error)) << bad.error;
        EXPECT_EQ(error, bad.error);
    }
}

}  // namespace
}  // namespace glint
