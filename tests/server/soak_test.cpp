// The real server under a game of protocol bots at 25 ticks a second, with joins, leaves and drops
// around it and one player that stops reading. CORVANE_SOAK_SECONDS sets the length of the game,
// CORVANE_SOAK_SEED the random schedule.
#include <gtest/gtest.h>

#include <cstdio>

#include "server/soak_bots.h"

TEST(Soak, PlayersKeepOneViewWhileOthersChurnAndTheServerEndsCleanOnInterrupt) {
    soak::Config config = soak::configFromEnvironment(15.0);
    std::printf("soak: %.0f s, seed %u\n", config.seconds, config.seed);
    soak::Report r = soak::SoakRun(config).run();
    ASSERT_TRUE(r.serverStarted);
    for (const std::string& p : r.problems)
        ADD_FAILURE() << p;
    EXPECT_EQ(r.problemCount, 0) << "faults found (the first 40 are listed above)";
    EXPECT_EQ(r.serverExitStatus, 0) << r.serverErrors;

    // The run exercised what it claims to.
    EXPECT_GT(r.blocks, 0);
    EXPECT_GT(r.destroyedBlocks, 0);
    EXPECT_GT(r.takenItems, 0);
    EXPECT_GT(r.newcomers, 0);
    EXPECT_GT(r.deniedJoins, 0);
    EXPECT_GT(r.movesMeasured, static_cast<int64_t>(config.seconds * 25 * 4));

    std::printf("soak: %.1f s game, %d blocks, %d destroyed, %d items taken, %d newcomers, "
                "%d denied joins, %d labyrinth requests, %d late ticks\n",
                r.gameSeconds, r.blocks, r.destroyedBlocks, r.takenItems, r.newcomers,
                r.deniedJoins, r.labyrinthRequests, r.lateTicks);
    std::printf("soak: %.0f events/s sent for relay, %.0f relayed messages/s delivered; move "
                "latency p50 %.3f ms, p99 %.3f ms, max %.3f ms over %lld moves\n",
                r.eventsSent / r.gameSeconds, r.eventsDelivered / r.gameSeconds, r.latencyP50Ms,
                r.latencyP99Ms, r.latencyMaxMs, static_cast<long long>(r.movesMeasured));
    if (r.stalledPeerCut)
        std::printf("soak: the server dropped the peer that stopped reading %.1f s into the game\n",
                    r.stalledPeerCutAfter);
    else
        std::printf("soak: the peer that stopped reading was still connected at the end\n");
}
