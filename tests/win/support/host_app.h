// The reference host's application as the tests' host: its main window,
// its script commands and its console, with canvas.nbp loaded.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/app_win.h"

// The console lines an App prints, kept for the test to read.
struct Captured {
    std::vector<std::string> out, err;
    host::Console console();
    // Every error line, each ended by a newline.
    std::string errors() const;
};

// The lines of a text, without their line ends.
std::vector<std::string> splitLines(const std::string& text);

// canvas.nbp loaded into the reference host's App, connected and its main
// window open.
class HostAppTest : public ::testing::Test {
  protected:
    void SetUp() override;
    // Parses and runs script lines, bounded by a ModalGuard; true when every
    // command succeeded.
    bool run(const std::string& text);

    host::PluginModule plugin{L"canvas.nbp"};
    Captured captured;
    host::App app{plugin, captured.console()};
};
