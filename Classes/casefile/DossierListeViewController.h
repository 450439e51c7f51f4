#pragma once

#include "Classes/casefile/Dossier.h"
#include "Classes/casefile/WSFendraExpertDelegate.h"
#include "Classes/screens/SuperController.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

class WSFendraExpert;

// The case list: the recent case files of the server, or those a search finds; choosing one
// hands its label and code to the delegate and closes the list (and the log-in screen that
// showed it). Needs a successful log-in before (the saved "host" and the server's cookie).
// Main run loop only.
class DossierListeViewController : public SuperController, private WSFendraExpertDelegate {
public:
    // The delegate's answer: the case's label and code.
    using Delegate = std::function<void(const std::string& label, const std::string& code)>;
    // Told once per load: no error text on success.
    using LoadCallback = std::function<void(bool ok, const std::string& error)>;

    struct Row {
        std::string title; // "code - label", or the empty-search notice
        bool notice = false;
        std::string responsableLabel;
        std::string responsable;
        std::string dateLabel;
        std::string date;
        std::string natureLabel;
        std::string nature;
    };

    explicit DossierListeViewController(std::string searchText = {});
    ~DossierListeViewController() override;
    // A list for the search text, answering `delegate`, already loading (the screens' opener).
    static std::shared_ptr<DossierListeViewController> opened(const std::string& searchText,
                                                              Delegate delegate);

    std::string screenName() const override { return "DossierListeViewController"; }
    std::string title() const override;
    static std::string searchPlaceholder();
    static std::string emptySearchText();

    void setDelegateLD(Delegate delegate) { delegate_ = std::move(delegate); }
    void setLoadCallback(LoadCallback callback) { loadCallback_ = std::move(callback); }
    // Set by the log-in screen that shows this list inside it: closing the list closes it.
    void setLoginParent(std::function<void()> closeParent) { closeParent_ = std::move(closeParent); }
    bool loginViewIsTheParent() const { return static_cast<bool>(closeParent_); }

    const std::string& searchText() const { return searchText_; }
    void setSearchText(std::string text) { searchText_ = std::move(text); }

    // The opening: a search with the text given, else the recent case files.
    void viewDidLoad();
    // The search bar: a search with the typed text (an empty one shows the recent files).
    void search(const std::string& text);
    // The search bar's cancel button: closes without a choice.
    void searchBarCancelButtonClicked();

    // Whether the current list comes from a search.
    bool searching() const { return searching_; }
    // The case files shown now (the search list while searching, else the recent ones).
    const std::vector<Dossier>& dossiers() const { return searching_ ? searchList_ : mainList_; }
    std::vector<Row> rows() const;
    // Chooses the case of a row (the empty-search notice chooses nothing).
    void selectRow(std::size_t index);

    bool waiting() const { return waiting_; }
    double progress() const { return progress_; }
    const std::string& lastError() const { return lastError_; }

private:
    std::string searchText_;
    Delegate delegate_;
    LoadCallback loadCallback_;
    std::function<void()> closeParent_;
    std::unique_ptr<WSFendraExpert> client_;
    bool searching_ = false;
    bool requestIsSearch_ = false;
    std::vector<Dossier> mainList_;
    std::vector<Dossier> searchList_;
    bool waiting_ = false;
    double progress_ = 0;
    std::string lastError_;
    bool closed_ = false;

    void load(const std::string& text);
    void finishLoad(bool ok, const std::string& error);
    void close();
    void getDataRequest(const std::string& bytes) override;
    void erreurRequest(const std::string& text) override;
    void progressBar(double fraction) override;
};

} // namespace orvaneh
