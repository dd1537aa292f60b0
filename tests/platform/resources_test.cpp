#include <gtest/gtest.h>

#include "platform/accelerators.h"
#include "platform/resources.h"

namespace glint {
namespace {

constexpr std::int32_t kAcceleratorTableId = 109;
constexpr std::uint16_t kEndShowCommand = 40001;

TEST(Resources, TheExecutableCarriesItsAcceleratorTable) {
    useResources(embeddedResources());
    const auto table = loadAccelerators(kAcceleratorTableId);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(translateAccelerator(table, Key::escape), kEndShowCommand);
    EXPECT_EQ(translateAccelerator(table, Key::other), 0);
}

TEST(Resources, LookupMatchesTypeAndId) {
    const std::uint8_t bytes[] = {1, 2, 3};
    const ResourceEntry table[] = {{ResourceType::bitmap, 112, bytes, 1},
                                   {ResourceType::rcData, 112, bytes, 3}};
    useResources(table);
    const auto song = findResource(ResourceType::rcData, 112);
    ASSERT_TRUE(song.has_value());
    EXPECT_EQ(song->size, 3u);
    EXPECT_FALSE(findResource(ResourceType::rcData, 113).has_value());
    EXPECT_FALSE(findResource(ResourceType::accelerators, 112).has_value());
}

TEST(Resources, MissingOrMalformedAcceleratorTablesGiveNoAccelerators) {
    const char text[] = "ESCAPE\nUNKNOWN 5\n# ESCAPE 7\n";
    const ResourceEntry table[] = {{ResourceType::accelerators, 1,
                                    reinterpret_cast<const std::uint8_t*>(text), sizeof text - 1}};
    useResources(table);
    EXPECT_TRUE(loadAccelerators(1).empty());
    EXPECT_TRUE(loadAccelerators(kAcceleratorTableId).empty());
    useResources({});
}

}  // namespace
}  // namespace glint
