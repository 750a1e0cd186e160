// The sensor registry against a model: random creations, registrations,
// polls, manual events and options, compared step by step with a plain list.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "sensing/sensor_manager.h"
#include "tests/support/platform_fixture.h"

namespace {

constexpr int kTestSensors = 3;
int g_readResult[kTestSensors];
std::vector<int> g_readOrder;
std::vector<std::intptr_t> g_options;

template <int I>
std::int32_t ReadTest()
{
    g_readOrder.push_back(I);
    return g_readResult[I];
}

int RecordOption(int option, std::intptr_t argument)
{
    g_options.push_back(option * 1000 + argument);
    return 0;
}

// "B" has no setOption: an option for it goes nowhere.
SensorDescriptor g_sensors[kTestSensors] = {
    {nullptr, "A", 0, ReadTest<0>, nullptr, RecordOption},
    {nullptr, "B", 0, ReadTest<1>, nullptr, nullptr},
    {nullptr, "C", 0, ReadTest<2>, nullptr, RecordOption},
};

std::vector<std::string> Registry()
{
    std::vector<std::string> names;
    for (const SensorDescriptor* s = SensorFirst(); s != nullptr; s = s->next) names.emplace_back(s->name);
    return names;
}

struct Model {
    bool exists = false;
    std::vector<int> list;  // test sensors, newest first
    int enabled = 0;
    int manual = 0;

    bool Listed(int i) const { return std::find(list.begin(), list.end(), i) != list.end(); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i : list) names.emplace_back(g_sensors[i].name);
        if (exists) {
            // The manager registers its own two first: "Emergency", then "GSensor".
            names.emplace_back("GSensor");
            names.emplace_back("Emergency");
        }
        return names;
    }
};

// A started platform: the built-in G-sensor reads the simulated accelerometer, resting.
class SensorManager : public testing_support::PlatformTest {};

TEST_F(SensorManager, BehavesAsARegistryModelUnderRandomOperations)
{
    std::mt19937 random(20260312);
    Model m;
    int events = 0;
    for (int step = 0; step < 4000; ++step) {
        const std::string at = "step " + std::to_string(step);
        const int i = static_cast<int>(random() % kTestSensors);
        g_readOrder.clear();
        g_options.clear();
        switch (random() % 8) {
        case 0: {
            if (random() % 6 != 0) break;  // keep the manager mostly alive
            const bool created = !m.exists;
            if (m.exists) {
                ASSERT_EQ(SensorManagerDestroy(), 0) << at;
                ASSERT_EQ(SensorManagerDestroy(), -1) << at;
            } else {
                ASSERT_EQ(SensorManagerCreate(), 0) << at;
                ASSERT_EQ(SensorManagerCreate(), -1) << at << ": one manager at a time";
            }
            m = Model{};
            m.exists = created;
            break;
        }
        case 1:
            ASSERT_EQ(SensorRegister(&g_sensors[i]), m.exists && !m.Listed(i) ? 0 : -1) << at;
            if (m.exists && !m.Listed(i)) m.list.insert(m.list.begin(), i);
            break;
        case 2:
            ASSERT_EQ(SensorUnregister(&g_sensors[i]), m.Listed(i) ? 0 : -1) << at;
            if (m.Listed(i)) m.list.erase(std::find(m.list.begin(), m.list.end(), i));
            break;
        case 3: {
            const int on = static_cast<int>(random() % 2);
            ASSERT_EQ(on ? SensorManagerEnable() : SensorManagerDisable(), m.exists ? 0 : -1) << at;
            if (m.exists) m.enabled = on;
            break;
        }
        case 4:
            if (random() % 3 != 0) break;  // manual events are rare beside shocks
            SensorRequestManualEvent();
            m.manual = m.exists ? 1 : 0;
            break;
        case 5:
            ASSERT_EQ(SensorClearManualEvent(), m.exists ? 1 : 0) << at;
            m.manual = 0;
            break;
        case 6: {
            int expected = !m.exists ? -1 : m.enabled == 0 ? 0 : m.manual ? 1 : 0;
            std::vector<int> reads;
            for (int k = 0; k < kTestSensors; ++k) g_readResult[k] = random() % 4 == 0 ? 1 : 0;
            if (m.exists && m.enabled && !m.manual) {
                reads = m.list;
                for (int k : m.list) expected |= g_readResult[k];
            }
            const int result = SensorManagerPoll();
            ASSERT_EQ(result, expected) << at;
            ASSERT_EQ(g_readOrder, reads) << at << ": every sensor read once, newest first, or none";
            events += result == 1;
            break;
        }
        case 7: {
            const char* names[] = {"A", "B", "C", "Emergency", "gsensor", "A "};
            const int n = static_cast<int>(random() % 6);
            const bool takes = n < kTestSensors && m.Listed(n) && g_sensors[n].setOption != nullptr;
            ASSERT_EQ(SensorSetOption(names[n], 3, step), takes ? 0 : -1) << at << " " << names[n];
            ASSERT_EQ(g_options, takes ? std::vector<std::intptr_t>{3000 + step} : std::vector<std::intptr_t>{})
                << at;
            break;
        }
        }
        ASSERT_EQ(Registry(), m.Names()) << at;
        ASSERT_EQ(SensorManualEventPending(), m.manual) << at;
    }
    EXPECT_GT(events, 20) << "the walk reached polls that saw events";
    if (m.exists) SensorManagerDestroy();
}

}  // namespace
