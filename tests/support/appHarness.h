// An Application with fake windows, its program folder a temporary folder
// holding nothing but what a test puts there.
#pragma once

#include "app/uiMainModule.h"
#include "tests/support/engineHarness.h"

struct AppHarness {
    TempDir programDir;
    TempDir work;
    FakeLog log;
    FakeBoxes boxes;
    FakePump pump;
    FakeProgress progress{pump};
    FakeNotice notice;
    Application app{programDir.path(), progress, notice, log, boxes, pump};
    uint32_t clock = 1000;

    AppHarness()
    {
        app.cidTable = buildCidTable();
        app.engine.tickCount = [this] { return clock; };
    }
    ~AppHarness() { failOnUnseenBox(boxes); }

    std::vector<std::string> boxTexts() const
    {
        std::vector<std::string> t;
        for (const auto& b : boxes.shown())
            t.push_back(b.text);
        return t;
    }
};
