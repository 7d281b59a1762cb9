// The app's command line: what it cannot use it refuses before any window, with
// exit status 2 and one line naming the argument, as kavrano-cli does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavrano/app/app_delegate.h"
#include "kavrano/app/app_options.h"

namespace kavrano {
namespace {

struct Outcome {
  int status;
  std::string error;
};

Outcome run(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(arguments.size());
  ::testing::internal::CaptureStderr();
  const int status = runApp(argc, argv.data());
  return {status, ::testing::internal::GetCapturedStderr()};
}

TEST(AppOptions, UnknownLocaleIsRefusedOnOneLineNamingIt) {
  const struct {
    std::string locale, shown;
  } refused[] = {{"xx_NOPE", "'xx_NOPE'"}, {"", "''"}, {"de_CH\nrm", "'de_CH\\nrm'"}};
  for (const auto& [locale, shown] : refused) {
    const Outcome r = run({"kavrano", "--locale", locale});
    EXPECT_EQ(r.status, 2) << locale;
    EXPECT_EQ(r.error, "kavrano: unknown locale " + shown + "\n");
  }
  // The names kavrano-cli takes: ICU's, a listed language with a real country, POSIX's own.
  for (const char* locale : {"de_CH", "en_NL", "de_DE.UTF-8", "C"}) {
    const AppOptionsResult parsed = parseAppOptions({"kavrano", "--locale", locale});
    EXPECT_TRUE(parsed.error.isEmpty()) << locale << ": " << qPrintable(parsed.error);
    EXPECT_EQ(parsed.options.locale, QString::fromLatin1(locale));
  }
}

}  // namespace
}  // namespace kavrano
