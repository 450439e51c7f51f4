#pragma once

// A log-in through the real log-in screen, as the user makes it, for the tests that need a session.
#include "Classes/casefile/LoginViewController.h"
#include "casefile/CaseFileServer.h"

#include <gtest/gtest.h>

namespace orvaneh::test {

inline void saveCaseFileAccount(TestProfile& profile, const CaseFileServer& server,
                                const std::string& password = kCasePassword) {
    profile.preferences().setString("host", server.host());
    profile.preferences().setString("login", kCaseLogin);
    profile.preferences().setString("mdp", password);
    profile.preferences().setString("BddSqlName", "CABINET_DUPRE");
    profile.preferences().setInteger("configSaved", 1);
}

// Logs in with the saved account and waits for the case list it then shows.
inline std::shared_ptr<LoginViewController> logIn(TestProfile& profile, const CaseFileServer& server,
                                                  DossierListeViewController::Delegate delegate = {},
                                                  const std::string& searchText = {}) {
    saveCaseFileAccount(profile, server);
    auto screen = std::make_shared<LoginViewController>(searchText, std::move(delegate));
    screen->validLogin();
    EXPECT_TRUE(runUntil([&] { return screen->outcome() != LoginViewController::Outcome::Pending; }));
    EXPECT_EQ(screen->outcome(), LoginViewController::Outcome::LoggedIn) << screen->outcomeText();
    EXPECT_TRUE(runUntil([&] { return !screen->caseList()->waiting(); }));
    return screen;
}

} // namespace orvaneh::test
