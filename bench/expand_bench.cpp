// Expands a script holding a 1 MiB long description (with "%" signs in it) and a
// 1 MiB script with 100,000 variables; prints the time per expansion.
#include <chrono>
#include <cstdio>
#include <string>

#include "app/tgwide.h"
#include "base/clock.h"
#include "profiles/app_profile.h"
#include "profiles/company_profile.h"
#include "script/eng_build.h"

int main() {
  vendrix::TGWide wide("/tmp/vendrix-expand-bench");
  wide.CreateWorkers();
  vendrix::CompanyProfile company;
  company.name = "Brightfield Software";
  vendrix::AppProfile app;
  app.name = "Tidy Notes";
  app.version = "2.1";
  std::string line = "Tidy Notes is 100% keyboard driven; 50% faster than before. ";
  while (app.longDesc.size() * line.size() < (1u << 20)) app.longDesc.push_back(line);
  vendrix::SystemClock clock;
  vendrix::TEngBuild& eng = wide.EngBuild();
  eng.SetContext({&company, &app, nullptr, nullptr, &clock, nullptr});

  auto time = [&](const char* what, const std::string& text) {
    const int rounds = 20;
    std::size_t size = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
      size = eng.ExpandText(text, vendrix::ExpansionMode::Preview).size();
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count() /
                rounds;
    std::printf("%-40s %8zu bytes out, %7.2f ms per expansion%s\n", what, size, ms,
                eng.ErrorFlag ? " (error)" : "");
  };
  time("1 MiB long description in a script:", "Name: %APPNAME%\r\n%APPLONGDESC%\r\nEnd");
  std::string many;
  while (many.size() < (1u << 20)) many += "%APPNAME% ";
  time("1 MiB script of 100k variables:", many);
  return 0;
}
