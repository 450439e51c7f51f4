#include "Classes/screens/ServicesViewController.h"

#include "Classes/core/serviceRequest.h"
#include "Classes/screens/NavigationController.h"
#include "support/TestDatabase.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <set>
#include <tuple>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Pair;

// The parameter screen's side of the picker: every answer kept.
class Opener final : public servicesDelegate {
public:
    void validService(const std::optional<ServiceModel>& service) override { answers.push_back(service); }
    std::vector<std::optional<ServiceModel>> answers;
};

ServiceModel entry(const std::string& guid, const std::string& parent, bool isSite = false,
                   const std::string& site = "S1") {
    ServiceModel service;
    service.guid = guid;
    service.name = "Nom " + guid;
    service.parentService = parent;
    service.isSite = isSite;
    service.idSite = site;
    return service;
}

// Guid and level of each row, in order.
std::vector<std::pair<std::string, std::int32_t>> shape(const std::vector<ServiceModel>& list) {
    std::vector<std::pair<std::string, std::int32_t>> rows;
    for (const auto& service : list) {
        rows.emplace_back(service.guid, service.nivImbrication);
    }
    return rows;
}

class ServicesViewControllerTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);

    static void store(ServiceModel service, std::vector<std::string> users = {}) {
        service.users = std::move(users);
        serviceRequest().insertServiceAndUsersWorktypes(service);
    }
};

TEST_F(ServicesViewControllerTest, AnEmptyTableGivesAnEmptyListAndConfirmingAnswersNone) {
    Opener opener;
    NavigationController navigation;
    auto picker = std::make_shared<ServicesViewController>("", "g-1", &opener);
    navigation.present(picker);
    EXPECT_EQ(picker->screenName(), "ServicesViewController");
    EXPECT_TRUE(picker->servicesList().empty());
    EXPECT_TRUE(picker->rows().empty());
    EXPECT_EQ(picker->selectedService(), -1);

    picker->tapRow(0);
    picker->validParam();
    ASSERT_EQ(opener.answers.size(), 1u);
    EXPECT_FALSE(opener.answers[0].has_value());
    EXPECT_EQ(navigation.presented(), nullptr) << "the picker closes once it answered";
}

TEST_F(ServicesViewControllerTest, FlatteningOrdersAndIndentsAsTheParameterScreensShowIt) {
    struct Case {
        const char* what;
        std::vector<ServiceModel> table;
        std::vector<std::pair<std::string, std::int32_t>> expected;
    };
    const std::vector<Case> cases{
        {"two sites: each is moved to the front in turn",
         {entry("A", "", true), entry("B", "", true)},
         {{"B", 0}, {"A", 0}}},
        {"an unknown parent counts as none", {entry("X", "disparu"), entry("Y", "")}, {{"X", 1}, {"Y", 1}}},
        // Children go after the parent's marker, not after the row itself: the siblings of a
        // site's child come before it, its own children before it too, each list reversed.
        {"three levels under a site",
         {entry("H", "", true), entry("cardio", "H"), entry("consult", "cardio"), entry("echo", "cardio"),
          entry("urg", "H")},
         {{"H", 0}, {"urg", 2}, {"echo", 3}, {"consult", 3}, {"cardio", 2}}},
        {"children of an unplaced entry go to the top, after a later site",
         {entry("P", ""), entry("c1", "P"), entry("c2", "P"), entry("T", "", true)},
         {{"T", 0}, {"c2", 2}, {"c1", 2}, {"P", 1}}},
        {"the site guid places entries too",
         {entry("site", "", true, "site"), entry("s1", "", false, "site"), entry("s2", "", false, "site")},
         {{"site", 0}, {"s2", 1}, {"s1", 1}}},
        {"a loop of parents ends, each member counted once",
         {entry("A", "B"), entry("B", "A"), entry("C", "A"), entry("self", "self")},
         {{"self", 1}, {"C", 3}, {"A", 2}, {"B", 2}}},
    };
    for (const auto& c : cases) {
        const auto flattened = ServicesViewController::getServicesList(c.table);
        EXPECT_THAT(shape(flattened), ElementsAreArray(c.expected)) << c.what;
    }
}

TEST_F(ServicesViewControllerTest, LevelCountsKnownAncestorsOnceAndLookupsFollowTableOrder) {
    const std::vector<ServiceModel> table{entry("A", "B"), entry("B", "A"), entry("C", "A"),
                                          entry("D", "C", false, "A"), entry("A", "")};
    EXPECT_EQ(ServicesViewController::getImbricationLevel(table[0], 1, table), 2);
    EXPECT_EQ(ServicesViewController::getImbricationLevel(table[3], 1, table), 4);
    EXPECT_EQ(ServicesViewController::getImbricationLevel(entry("Z", "inconnu"), 5, table), 5);

    auto first = ServicesViewController::getServiceWithGuid("A", table);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->parentService, "B") << "the first entry of a guid";
    EXPECT_FALSE(ServicesViewController::getServiceWithGuid("Z", table));

    std::vector<std::string> under;
    for (const auto& service : ServicesViewController::getServiceModelsForParent("A", table)) {
        under.push_back(service.guid);
    }
    EXPECT_THAT(under, ElementsAre("B", "C", "D")) << "by parent or by site, in table order";
}

TEST_F(ServicesViewControllerTest, LongChainsAndWideTablesKeepEveryEntryOnce) {
    std::vector<ServiceModel> chain{entry("n0", "", true)};
    for (int i = 1; i < 3000; ++i) {
        chain.push_back(entry("n" + std::to_string(i), "n" + std::to_string(i - 1)));
    }
    chain.front().parentService = "n2999"; // closes the chain into one loop through the site
    const auto flattened = ServicesViewController::getServicesList(chain);
    ASSERT_EQ(flattened.size(), chain.size());
    std::set<std::string> seen;
    for (const auto& service : flattened) {
        seen.insert(service.guid);
        if (!service.isSite) {
            EXPECT_EQ(service.nivImbrication, 3000) << service.guid;
        }
    }
    EXPECT_EQ(seen.size(), chain.size());

    std::vector<ServiceModel> wide{entry("root", "", true)};
    for (int i = 0; i < 3000; ++i) {
        wide.push_back(entry("w" + std::to_string(i), "root"));
    }
    const auto rows = ServicesViewController::getServicesList(wide);
    ASSERT_EQ(rows.size(), wide.size());
    EXPECT_EQ(rows[0].guid, "root");
    EXPECT_EQ(rows[1].guid, "w2999");
    EXPECT_EQ(rows.back().guid, "w0");
}

TEST_F(ServicesViewControllerTest, OpensWithTheAuthorsServicesAndTheCurrentOneChecked) {
    store(entry("H", "", true), {"jdupont", "amartin"});
    store(entry("cardio", "H"), {"jdupont"});
    store(entry("pneumo", "H"), {"amartin"});

    const std::vector<std::tuple<std::string, std::string, std::vector<std::string>, std::int32_t>> openings{
        {"", "cardio", {"H", "pneumo", "cardio"}, 2},
        {"jdupont", "cardio", {"H", "cardio"}, 1},
        {"jdupont", "pneumo", {"H", "cardio"}, -1}, // no longer in the author's list
        {"inconnu", "", {}, -1},
    };
    for (const auto& [author, guid, expected, checked] : openings) {
        ServicesViewController picker(author, guid);
        std::vector<std::string> guids;
        for (const auto& service : picker.servicesList()) {
            guids.push_back(service.guid);
        }
        EXPECT_EQ(guids, expected) << author << " / " << guid;
        EXPECT_EQ(picker.selectedService(), checked) << author << " / " << guid;
    }
}

TEST_F(ServicesViewControllerTest, RowsDrawIconsAndLabelsByLevelAndTheCheck) {
    store(entry("H", "", true));
    store(entry("cardio", "H"));
    ServicesViewController picker("", "cardio");
    const auto rows = picker.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].label, "Nom H");
    EXPECT_EQ(rows[0].image, "Service.png");
    EXPECT_EQ(rows[0].imageFrame.x, 10);
    EXPECT_EQ(rows[0].labelFrame, (Rect{41, 0, 210, 30}));
    EXPECT_FALSE(rows[0].checked);
    EXPECT_EQ(rows[1].image, "Secteur.png");
    EXPECT_EQ(rows[1].imageFrame.x, 50);
    EXPECT_EQ(rows[1].labelFrame, (Rect{81, 0, 170, 30}));
    EXPECT_TRUE(rows[1].checked);
    EXPECT_EQ(ServicesViewController::labelFrameForLevel(14).width, 0) << "never a negative width";
}

TEST_F(ServicesViewControllerTest, TappingChecksOneRowAtMostAndConfirmingAnswersIt) {
    store(entry("A", ""));
    store(entry("B", ""));
    store(entry("C", ""));
    Opener opener;
    NavigationController navigation;
    auto picker = std::make_shared<ServicesViewController>("", "", &opener);
    navigation.present(picker);
    int changes = 0;
    picker->setChangeCallback([&] { ++changes; });

    const std::vector<std::pair<std::int32_t, std::int32_t>> taps{{1, 1}, {2, 2}, {2, -1},
                                                                  {0, 0}, {7, 0}, {-1, 0}};
    for (const auto& [row, checked] : taps) {
        picker->tapRow(row);
        EXPECT_EQ(picker->selectedService(), checked) << "tap " << row;
        const auto rows = picker->rows();
        EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r.checked; }),
                  checked < 0 ? 0 : 1);
    }
    EXPECT_EQ(changes, 4) << "rows that do not exist change nothing";

    picker->validParam();
    ASSERT_EQ(opener.answers.size(), 1u);
    ASSERT_TRUE(opener.answers[0].has_value());
    EXPECT_EQ(opener.answers[0]->guid, "A");
    EXPECT_EQ(navigation.presented(), nullptr);
}

} // namespace
} // namespace orvaneh
