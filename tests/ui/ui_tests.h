#pragma once
// The registry of GUI test classes: each test file adds its class.
#include <QObject>
#include <functional>
#include <utility>
#include <vector>

namespace vendrix::test {

std::vector<std::pair<const char*, std::function<QObject*()>>>& TestClasses();

template <typename T>
struct RegisterTest {
  explicit RegisterTest(const char* name) {
    TestClasses().emplace_back(name, [] { return new T; });
  }
};

}  // namespace vendrix::test
