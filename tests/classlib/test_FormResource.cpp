#include <gtest/gtest.h>

#include "classlib/FormFixtures.h"
#include "classlib/FormReader.h"

using namespace fixture;

TEST(FormResource, ModuleReadsTheRcdataResourceOfItsProgram) {
  std::string text;
  ASSERT_TRUE(FindResourceText("TFixtureModule", text));
  TFixtureModule m(nullptr);
  m.ReadResource("TFixtureModule");
  EXPECT_EQ(m.Name(), "ResModule");
  ASSERT_EQ(m.ComponentCount(), 3);
  auto* first = dynamic_cast<TFixtureItem*>(m.FindComponent("First"));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Link(), m.FindComponent("Third"));
  EXPECT_EQ(first->Info()->Product(), "Quillant32");
  EXPECT_FALSE(FindResourceText("NoSuchForm", text));
}
