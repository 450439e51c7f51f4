#include "support/ProcessRunner.h"
#include "transport/SendFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;

class SendCommandTest : public test::SendTest {};

TEST_F(SendCommandTest, SendIsOnePassThatFailsWhileADictationStaysPending) {
    test::OfficeFtpServer server;
    ASSERT_NE(server.port(), 0);
    const auto site = addSite(1, server.address());
    const auto letter = addDictation("Lettre");
    auto send = [&] {
        return test::ProcessRunner::run({ORVANEH_CLI_PATH, "--home", profile.home().string(), "send"});
    };

    auto result = send();
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string first = "dictée " + std::to_string(letter) + " « Lettre »";
    EXPECT_THAT(result.err, HasSubstr("Envoi de la " + first + "…\nEnvoyée : " + first + "\n"));
    EXPECT_EQ(result.out, "Envoyée : " + first + "\n");
    EXPECT_EQ(record(letter).envoi, 1);

    changeSite(site, server.address(), "faux");
    const auto reminder = addDictation("Relance");
    result = send();
    EXPECT_EQ(result.status, 1) << result.err;
    const std::string second = "dictée " + std::to_string(reminder) + " « Relance »";
    EXPECT_THAT(result.err, HasSubstr("Problème lors de l'envoi."));
    EXPECT_THAT(result.err, HasSubstr("Reste en attente : " + second + "\n"));
    EXPECT_THAT(result.out, HasSubstr("En attente : " + second));
    EXPECT_EQ(record(reminder).envoi, 0);

    EXPECT_EQ(send().out, "Aucune dictée à envoyer.\n");
}

} // namespace
} // namespace orvaneh
