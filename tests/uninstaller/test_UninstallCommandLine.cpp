// The product name the uninstaller takes from the line it was started with.
#include <gtest/gtest.h>

#include "uninstaller/UninstallCore.h"

TEST(UninstallCommandLine, ProductNameFromEveryFormOfTheLine) {
  const std::string own = "C:\\Program Files\\My App\\uninstall.exe";
  struct Case {
    const char* line;
    const char* product;
  } cases[] = {
      // Quoted program path; the name's words are joined by single blanks.
      {"\"C:\\Program Files\\My App\\uninstall.exe\" Quillant32", "Quillant32"},
      {"\"C:\\Program Files\\My App\\uninstall.exe\" My   Great  Product", "My Great Product"},
      // An UninstallString as recorded: the path unquoted, with blanks.
      {"C:\\Program Files\\My App\\uninstall.exe Quillant32", "Quillant32"},
      {"C:\\Program Files\\My App\\uninstall.exe My Great Product", "My Great Product"},
      {"  c:\\program files\\my app\\UNINSTALL.EXE My Product", "My Product"},
      // The system also finds the program without its extension.
      {"C:\\Program Files\\My App\\uninstall My Product", "My Product"},
      // A path without blanks, or another program name: the ordinary split.
      {"uninstall.exe Two Words", "Two Words"},
      {"C:\\PROGRA~1\\MYAPP~1\\UNINST~1.EXE Quillant32", "Quillant32"},
      // No product at all.
      {"C:\\Program Files\\My App\\uninstall.exe", ""},
      {"\"C:\\Program Files\\My App\\uninstall.exe\"   ", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ProductNameFromCommandLine(c.line, own), c.product) << c.line;
}
