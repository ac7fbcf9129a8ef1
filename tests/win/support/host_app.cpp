#include "tests/win/support/host_app.h"

#include <sstream>

#include "host/script.h"
#include "tests/win/support/ui_driver.h"

host::Console Captured::console() {
    return {[this](const std::string& l) { out.push_back(l); },
            [this](const std::string& l) { err.push_back(l); }};
}

std::string Captured::errors() const {
    std::string all;
    for (const std::string& e : err) {
        all += e + "\n";
    }
    return all;
}

void HostAppTest::SetUp() {
    ASSERT_TRUE(plugin.ok());
    app.connect();
    ASSERT_TRUE(app.openMainWindow());
}

bool HostAppTest::run(const std::string& text) {
    host::Script script = host::parseScript(text);
    EXPECT_TRUE(script.ok()) << text;
    const ModalGuard guard;
    return app.check(script) && app.run(script);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}
