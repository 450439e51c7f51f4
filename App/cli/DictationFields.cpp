#include "App/cli/DictationFields.h"

#include "App/cli/DossierCommand.h"
#include "Classes/casefile/DossierListeViewController.h"
#include "Classes/casefile/LoginViewController.h"
#include "Classes/core/StringExtension.h"
#include "Classes/workflow/ParamWorkflowDictee.h"
#include "Classes/workflow/QRCodeReaderViewController.h"
#include "Platform/runloop/RunLoop.h"

namespace orvaneh {

namespace {

using Screen = AbstractParamWorkflow;

// Each option with the row it fills, in the order the rows are touched: a later choice is made
// among what an earlier one left (an author's contexts, a service's worktypes).
const std::vector<std::pair<std::string, int>>& optionRows() {
    static const std::vector<std::pair<std::string, int>> rows{
        {"author", Screen::kAuthorTag},     {"service", Screen::kServiceTag},
        {"type", Screen::kTypeTag},         {"context", Screen::kContextTag},
        {"worktype", Screen::kWorktypeTag}, {"typist", Screen::kTypistTag},
        {"priority", Screen::kPriorityTag}, {"title", Screen::kFirstFieldTag},
        {"ident", Screen::kSecondFieldTag},
    };
    return rows;
}

constexpr const char* kDossier = "dossier";
constexpr const char* kIdentFromImage = "ident-from-image";
// Longer than a search, a lost session's re-login and the replay together.
constexpr Seconds kCaseListWait{330};

// --dossier CODE: the case list opened from the screen's search button on CODE, and the case of
// that code chosen in it, as a person would tap its row. Its label and code fill the fields.
std::optional<DictationFields::Problem> chooseCaseFile(ParamWorkflowDictee& screen, const std::string& code) {
    const std::string wanted = StringExtension::stringWithoutSpace(code);
    if (wanted.empty()) {
        return DictationFields::Problem{"--dossier attend le numéro d'un dossier"};
    }
    std::optional<std::string> problem;
    // Before a first log-in the button opens the log-in screen, which a command cannot fill.
    screen.setLoginOpener([&](const std::string& searchText, ParamWorkflowDictee::CaseFileAnswer answer) {
        problem = DossierCommand::notLoggedInText();
        return std::make_shared<LoginViewController>(searchText, std::move(answer));
    });
    screen.setCaseListOpener([&](const std::string& searchText, ParamWorkflowDictee::CaseFileAnswer answer) {
        auto list = std::make_shared<DossierListeViewController>(searchText);
        list->setDelegateLD(std::move(answer));
        bool loaded = false;
        std::string error;
        list->setLoadCallback([&](bool ok, const std::string& reason) {
            loaded = true;
            error = ok ? "" : reason;
        });
        list->viewDidLoad();
        if (!RunLoop::current().runUntil([&] { return loaded; }, kCaseListWait)) {
            problem = "le serveur de dossiers n'a pas répondu à temps.";
            return list;
        }
        if (!error.empty()) {
            problem = error;
            return list;
        }
        const auto& found = list->dossiers();
        const std::string key = StringExtension::lowercased(wanted);
        for (std::size_t index = 0; index < found.size(); ++index) {
            if (StringExtension::lowercased(StringExtension::stringWithoutSpace(found[index].s_Code)) ==
                key) {
                list->selectRow(index);
                return list;
            }
        }
        problem = "le serveur de dossiers n'a aucun dossier de numéro « " + wanted + " »" +
                  (found.empty() ? std::string(".")
                                 : " (voir « orvaneh-cli dossier list --search \"" + wanted + "\" »).");
        return list;
    });
    // The search button looks for the identification value when there is one.
    if (auto refused = screen.choose(AbstractParamWorkflow::kSecondFieldTag, wanted)) {
        return DictationFields::Problem{*refused};
    }
    screen.displayFileSearch();
    if (!problem && screen.fieldText(AbstractParamWorkflow::kSecondFieldTag) != wanted) {
        problem = "le dossier « " + wanted + " » n'a pas pu remplir les champs de la dictée.";
    }
    if (problem) {
        return DictationFields::Problem{*problem, false};
    }
    return std::nullopt;
}

// --ident-from-image FILE: the scan button, and the reader given the picture file.
std::optional<DictationFields::Problem> scanIdentifier(ParamWorkflowDictee& screen, const std::string& file) {
    if (!ParamWorkflowDictee::scanButtonShown()) {
        return DictationFields::Problem{"le lecteur de code est désactivé (réglage OptionUseBarCodeReader)",
                                        false};
    }
    std::optional<std::string> problem;
    std::optional<std::string> read;
    screen.setScannerOpener([&](ParamWorkflowDictee::ScanResult onResult) {
        auto reader = QRCodeReaderViewController::makeFor([&read, onResult](const std::string& text) {
            read = text;
            onResult(text);
        });
        // The reason is said once, by the command, rather than as the reader's alert too.
        const auto result = CodeReader::readFile(file);
        if (const auto single = QRCodeReaderViewController::singleCodeOf(result); !single.ok()) {
            problem = file + " : " + single.error;
        } else {
            reader->pictureRead(result);
        }
        return reader;
    });
    screen.displayScanner();
    if (!problem && !read) {
        problem = file + " : aucun code n'a pu être lu.";
    } else if (!problem && screen.fieldText(AbstractParamWorkflow::kSecondFieldTag) !=
                               StringExtension::stringWithoutSpace(*read)) {
        // The screen refused the text as it refuses a typed one (it said why in a banner).
        problem = file + " : le code lu n'est pas un identifiant d'une ligne.";
    }
    if (problem) {
        return DictationFields::Problem{*problem, false};
    }
    return std::nullopt;
}

} // namespace

const std::vector<std::string>& DictationFields::screenOptions() {
    static const std::vector<std::string> options = [] {
        std::vector<std::string> names;
        for (const auto& [option, tag] : optionRows()) {
            names.push_back(option);
        }
        names.push_back(kDossier);
        names.push_back(kIdentFromImage);
        return names;
    }();
    return options;
}

bool DictationFields::anyGiven(const CliArguments& parsed) {
    for (const auto& option : screenOptions()) {
        if (parsed.option(option)) {
            return true;
        }
    }
    return false;
}

std::optional<DictationFields::Problem> DictationFields::applyToScreen(AbstractParamWorkflow& screen,
                                                                       const CliArguments& parsed,
                                                                       const std::set<std::string>& ignored) {
    const auto dossier = parsed.option(kDossier);
    const auto image = parsed.option(kIdentFromImage);
    if (dossier && (parsed.option("title") || parsed.option("ident") || image)) {
        return Problem{"--dossier remplit le titre et l'identifiant : il exclut --title, --ident et "
                       "--ident-from-image"};
    }
    if (image && parsed.option("ident")) {
        return Problem{"--ident et --ident-from-image s'excluent"};
    }
    auto* dictee = dynamic_cast<ParamWorkflowDictee*>(&screen);
    if ((dossier || image) && dictee == nullptr) {
        return Problem{"--dossier et --ident-from-image ne s'emploient que pour une dictée"};
    }
    for (const auto& [option, tag] : optionRows()) {
        const auto value = parsed.option(option);
        if (!value || ignored.count(option) != 0) {
            continue;
        }
        if (tag == Screen::kServiceTag) {
            // A row id as `services` shows it, or the service's guid.
            if (auto problem = screen.chooseService(*value)) {
                return Problem{*problem};
            }
        } else if (auto problem = screen.choose(tag, *value)) {
            return Problem{*problem};
        }
    }
    if (dossier) {
        return chooseCaseFile(*dictee, *dossier);
    }
    if (image) {
        return scanIdentifier(*dictee, *image);
    }
    return std::nullopt;
}

std::optional<DictationFields::Problem>
DictationFields::choose(ParamWorkflow& parameters, const CliArguments& parsed, bool authorRequired) {
    if (!anyGiven(parsed) && !authorRequired) {
        return std::nullopt;
    }
    ParamWorkflowDictee screen(parameters);
    // The priority is the recorder's, not a row of this screen.
    if (auto problem = applyToScreen(screen, parsed, {"priority"})) {
        return problem;
    }
    if (authorRequired && screen.fieldText(Screen::kAuthorTag).empty() && !screen.authors().empty()) {
        std::string names;
        for (const auto& author : screen.authors()) {
            names += (names.empty() ? "" : ", ") + author;
        }
        return Problem{"il manque l'auteur (--author) : " + names};
    }
    if (anyGiven(parsed)) {
        const std::string priority = parameters.priority;
        parameters = screen.chosenParameters();
        parameters.priority = priority;
    }
    return std::nullopt;
}

void DictationFields::settle(CliArguments& parsed, const ParamWorkflow& chosen) {
    if (parsed.option(kDossier)) {
        parsed.removeOption(kDossier);
        parsed.setOption("title", chosen.firstField);
        parsed.setOption("ident", chosen.secondField);
    }
    if (parsed.option(kIdentFromImage)) {
        parsed.removeOption(kIdentFromImage);
        parsed.setOption("ident", chosen.secondField);
    }
}

} // namespace orvaneh
