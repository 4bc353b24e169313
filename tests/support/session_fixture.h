#pragma once
// A session over a fresh data tree, with a scripted prompt and a fixed clock.
#include <gtest/gtest.h>

#include <memory>

#include "app/session.h"
#include "base/clock.h"
#include "base/ini_file.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"

namespace vendrix::test {

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() : clock(MakeTime(2026, 1, 5, 9, 7, 3)) { Restart(); }

  // A new session over the same data tree, as after a restart of the program.
  Session& Restart() {
    session = std::make_unique<Session>(dir.path(), prompt, clock);
    EXPECT_TRUE(session->Initialise());
    session->ShowStep();
    return *session;
  }

  std::string Data(const std::string& rel) const { return dir / rel; }

  void AddCompany(const std::string& name) {
    prompt.names.push_back(name);
    ASSERT_TRUE(session->Company().NewCompany());
  }
  // A value as a stored file may hold it, past the field rules: written to the shown
  // application's file (after the fields shown), which is then loaded again.
  void StoreAppValue(const std::string& key, const std::string& value) {
    const std::string path = session->Wide().AppFile(session->App().Shown());
    session->App().SaveApp();
    IniWriteString(path, "APPINFO", key, value);
    session->App().LoadApp();
  }
  void AddApp(const std::string& name) {
    prompt.names.push_back(name);
    ASSERT_TRUE(session->App().NewApp());
  }

  TempDir dir;
  ScriptedPrompt prompt;
  FixedClock clock;
  std::unique_ptr<Session> session;
};

}  // namespace vendrix::test
