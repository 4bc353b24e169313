#pragma once
// The fixed item lists of the application's four selectors, in their order. Scripts
// and site translations compare these texts, so they never change. Constants: any
// thread.
#include <array>
#include <string_view>

namespace vendrix {

inline constexpr std::array<std::string_view, 4> kPlatforms = {"Windows 3.1", "Windows 95",
                                                               "Windows NT", "Windows 95 and NT"};
inline constexpr std::array<std::string_view, 6> kStatuses = {
    "Feature Limit Demo", "Time Limit Demo", "Public Domain", "Freeware", "Shareware", "Beta"};
inline constexpr std::array<std::string_view, 4> kInstallers = {
    "No Install Feature", "Install Feature Only", "Uninstall Feature Only", "Install/Uninstall"};
inline constexpr std::array<std::string_view, 4> kSubmitters = {"Author", "Distributor", "Dealer",
                                                                "User"};
// What the program file is, for package managers ("" lets the file's name decide:
// .msi, .zip, else exe).
inline constexpr std::array<std::string_view, 6> kInstallerKinds = {"exe", "inno", "nullsoft",
                                                                    "msi", "zip",  "portable"};

}  // namespace vendrix
