#include "proxy_fixture.h"
#include "settings/settings_store.h"

TEST(Lifecycle, ExportsWhileOffAndWithoutSettings) {
    EXPECT_EQ(0, J2KTransEnabled());
    EXPECT_EQ(-1, GetJ2KTransMode());
    EXPECT_EQ(0, SetRegRoot(platform::kHkeyCurrentUser, "x"));
    EnableJ2KTrans(1);
    SetJ2KTransMode(1);

    ASSERT_EQ(1, ModuleLoad());
    ASSERT_EQ(1, SetRegRoot(platform::kHkeyCurrentUser, FreshTestKey("lifecycle").c_str()));
    int busy = 7, idle = 8;
    EXPECT_EQ(-1, GetAgentCount(&busy, &idle));
    EXPECT_EQ(7, busy);
    EXPECT_EQ(8, idle);
    TurnOff(); // without a turn-on: nothing happens
    EnableJ2KTrans(2);
    EXPECT_EQ(2, J2KTransEnabled());
    SetJ2KTransMode(0);
    EXPECT_EQ(0, GetJ2KTransMode());
    ModuleUnload(UnloadKind::kLibraryFreed);
}

TEST_F(ProxyTest, TurnOnTwiceAndTheLockedSwitchAtTurnOff) {
    Listener* listener = CurrentListener();
    EXPECT_EQ(1, TurnOn(nullptr));
    EXPECT_EQ(listener, CurrentListener());
    EnableJ2KTrans(-1);
    TurnOff();
    EXPECT_EQ(0, J2KTransEnabled());
    EXPECT_EQ(-1, Total());
    EXPECT_EQ(nullptr, moduleState.hostNameCache);

    // 0 and 1 are left alone by turn-off, and the cycle repeats (no notice wanted).
    moduleState.settings->ClearJ2KAlert();
    EnableJ2KTrans(1);
    ASSERT_EQ(1, TurnOn(nullptr));
    TurnOff();
    EXPECT_EQ(1, J2KTransEnabled());
}

class HeldPortTest : public ProxyTest {
protected:
    void SetUp() override {}
};

TEST_F(HeldPortTest, AHeldPortLeavesTheProxyOnWithNothingListening) {
    EnsureBrowserInstalled();
    ASSERT_EQ(1, ModuleLoad());
    SocketChannel holder;
    ASSERT_EQ(1, holder.Create());
    ASSERT_EQ(1, holder.Bind(0));
    ASSERT_EQ(1, holder.Listen());
    SetListenerOptions(holder.LocalPort(), Agent::kIdleTimeoutMs);
    ASSERT_EQ(1, TurnOn(nullptr));
    ASSERT_TRUE(WaitUntil([] { return !CurrentListener(); }));
    EXPECT_EQ(-1, Total());
    EXPECT_EQ(1, moduleState.turnedOn);
    EXPECT_EQ(1, TurnOn(nullptr)); // still "on": nothing is started
    EXPECT_EQ(nullptr, CurrentListener());
    TurnOff(); // finds no listener and does nothing
    EXPECT_EQ(1, moduleState.turnedOn);
}
