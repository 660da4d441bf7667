// A clean show for each test: empty lists, tables built, default levels, no hooks.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "show/show.h"

namespace nb::test {

class ShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimShutdown();
        settings = Settings{};
        show.hooks = ShowHooks{};
        show.particlePool.SetLimit(0);
        show.shellPool.SetLimit(0);
        show.trailPool.SetLimit(0);
        show.random.Seed(1);
        show.windX = 0.0f;
        show.windY = 0.0f;
        BuildTables();
        show.hooks.context = this;
        show.hooks.sound = [](void* self, int32_t id) { static_cast<ShowTest*>(self)->sounds.push_back(id); };
    }

    void TearDown() override {
        SimShutdown();
        show.hooks = ShowHooks{};
        show.particlePool.SetLimit(0);
        show.shellPool.SetLimit(0);
        show.trailPool.SetLimit(0);
        settings = Settings{};
    }

    // Runs UpdateShell on one shell until it is gone or `maxTicks` updates have run;
    // returns the number of updates made.
    int RunShell(Shell* shell, int maxTicks) {
        int ticks = 0;
        while (ticks < maxTicks && Contains(show.shells, shell)) {
            UpdateShell(show.shells, shell);
            ++ticks;
        }
        return ticks;
    }

    template <class T>
    static bool Contains(const RecordList<T>& list, const T* record) {
        for (const T* r = list.head; r != nullptr; r = r->next) {
            if (r == record) {
                return true;
            }
        }
        return false;
    }

    template <class T>
    static std::vector<T*> Items(const RecordList<T>& list) {
        std::vector<T*> out;
        for (T* r = list.head; r != nullptr; r = r->next) {
            out.push_back(r);
        }
        return out;
    }

    std::vector<int32_t> sounds;
};

}  // namespace nb::test
