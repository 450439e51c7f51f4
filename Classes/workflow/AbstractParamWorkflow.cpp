#include "Classes/workflow/AbstractParamWorkflow.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DictationType.h"
#include "Classes/core/StringExtension.h"
#include "Classes/core/contextRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Classes/screens/NavigationController.h"
#include "Classes/screens/Notification.h"
#include "Classes/workflow/ParamWorkflowDicteeTitleIdentViewController.h"
#include "Platform/localisation/Localization.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>
#include <utility>

namespace orvaneh {

namespace {

// A directory may hold hundreds of names: a refusal lists the first ones.
constexpr std::size_t kListedValues = 12;

std::string listed(const std::vector<std::string>& values) {
    if (values.empty()) {
        return "aucune valeur possible";
    }
    // The typists' empty first row is "none": not a value to name.
    std::vector<std::string> named;
    std::copy_if(values.begin(), values.end(), std::back_inserter(named),
                 [](const std::string& value) { return !value.empty(); });
    std::string text;
    for (std::size_t index = 0; index < named.size() && index < kListedValues; ++index) {
        text += (index == 0 ? "" : ", ") + named[index];
    }
    if (named.size() > kListedValues) {
        text += " et " + std::to_string(named.size() - kListedValues) + " autres";
    }
    return text.empty() ? "aucune valeur possible" : text;
}

std::string upperAscii(std::string text) {
    for (char& byte : text) {
        byte = static_cast<char>(std::toupper(static_cast<unsigned char>(byte)));
    }
    return text;
}

std::string digitalLabel() {
    return DictationType::labelForCode("DigitalDictation");
}

std::string speechLabel() {
    return DictationType::kSpeechRecognitionLabel;
}

} // namespace

AbstractParamWorkflow::AbstractParamWorkflow(ParamWorkflow parameters)
    : paramWorkflow_(std::move(parameters)) {
    enabled_.fill(true);
    // Enabled by the rules once an author is known.
    enabled_[kContextTag] = false;
    enabled_[kTypeTag] = false;
    enabled_[kServiceTag] = false;
}

std::string AbstractParamWorkflow::fieldLabel(int tag) {
    switch (tag) {
    case kAuthorTag:
        return localized("ABSTRACT_PARAM_WORKFLOW_AUTEUR", "Auteur");
    case kServiceTag:
        return localized("ABSTRACT_PARAM_WORKFLOW_SERVICE", "Service");
    case kTypeTag:
        return localized("ABSTRACT_PARAM_WORKFLOW_DICTATION_TYPE", "Type Dictée");
    case kContextTag:
        return localized("ABSTRACT_PARAM_WORKFLOW_CONTEXTE", "Contexte");
    case kWorktypeTag:
        return localized("ABSTRACT_PARAM_WORKFLOW_WORKTYPE", "Worktype");
    case kTypistTag:
        return localized("ABSTRACT_PARAM_WORKFLOW_SECRETAIRE", "Secrétaire");
    case kPriorityTag:
        return localized("ABSTRACT_PARAM_WORKFLOW_PRIORITY", "Priorité");
    case kFirstFieldTag:
        return ConfigurationManager::getJobTitle();
    case kSecondFieldTag:
        return ConfigurationManager::getIdentValue();
    default:
        return {};
    }
}

const std::string& AbstractParamWorkflow::fieldText(int tag) const {
    static const std::string none;
    return validTag(tag) ? fields_[static_cast<std::size_t>(tag)] : none;
}

bool AbstractParamWorkflow::fieldEnabled(int tag) const {
    return validTag(tag) && enabled_[static_cast<std::size_t>(tag)];
}

void AbstractParamWorkflow::setField(int tag, std::string text) {
    if (validTag(tag)) {
        fields_[static_cast<std::size_t>(tag)] = std::move(text);
    }
}

void AbstractParamWorkflow::setEnabled(int tag, bool enabled) {
    if (validTag(tag)) {
        enabled_[static_cast<std::size_t>(tag)] = enabled;
    }
}

void AbstractParamWorkflow::showParameters() {
    setField(kAuthorTag, paramWorkflow_.auteur);
    setField(kContextTag, paramWorkflow_.contexte);
    setField(kTypeTag, paramWorkflow_.getTypeDictee());
    setField(kTypistTag, paramWorkflow_.secretaire);
    setField(kWorktypeTag, paramWorkflow_.worktype);
    setField(kPriorityTag, paramWorkflow_.priority);
    setField(kFirstFieldTag, paramWorkflow_.firstField);
    setField(kSecondFieldTag, paramWorkflow_.secondField);
    setField(kServiceTag, serviceChosen_ ? serviceChosen_->name : std::string());
}

std::vector<std::string> AbstractParamWorkflow::displayInfoWorktype() const {
    std::vector<std::string> shown;
    shown.reserve(worktypes_.size());
    for (const auto& worktype : worktypes_) {
        shown.push_back(getInfoWorktype(worktype));
    }
    return shown;
}

std::string AbstractParamWorkflow::getInfoWorktype(const WorktypeInfo& worktype) {
    const std::string kind = upperAscii(StringExtension::stringWithoutSpace(worktype.type));
    const std::string tag = kind == "WORD" ? "/ WD " : kind == "EDITEUR INTERNE" ? "/ EI " : "";
    const std::string typist = worktype.typist.empty() ? "" : "/ " + worktype.typist;
    return worktype.name + " " + tag + typist;
}

std::string AbstractParamWorkflow::getWortypeName(const std::string& displayed) {
    return StringExtension::stringWithoutSpace(displayed.substr(0, displayed.find('/')));
}

void AbstractParamWorkflow::loadAllWorktypesAndTypists() {
    worktypeRequest all;
    all.selectAllworktype();
    worktypes_.clear();
    for (const auto& name : all.getWorktypeNames()) {
        const auto entry = all.selectworktypeForName(name);
        worktypes_.push_back(
            {name, entry ? entry->value("Type", "") : "", entry ? entry->value("Secretaire", "") : ""});
    }
    std::sort(worktypes_.begin(), worktypes_.end(),
              [](const WorktypeInfo& left, const WorktypeInfo& right) { return left.name < right.name; });
    userRequest users;
    users.selectAllSecretaire();
    typists_ = users.tabNameUser;
    typists_.insert(typists_.begin(), std::string());
}

void AbstractParamWorkflow::loadServiceLists(const ServiceModel& service) {
    // The service names its worktypes by identifier; the directory tells their type and typist.
    worktypeRequest all;
    all.selectAllworktype();
    worktypes_.clear();
    for (const auto& name : service.worktype) {
        const auto entry = all.selectworktypeForName(name);
        worktypes_.push_back(
            {name, entry ? entry->value("Type", "") : "", entry ? entry->value("Secretaire", "") : ""});
    }
    typists_ = service.users;
    typists_.insert(typists_.begin(), std::string());
}

void AbstractParamWorkflow::initTabData() {
    userRequest users;
    users.selectAllAuteur();
    authors_ = users.tabNameUser;
    authorIds_ = users.tabIdUser;
    if (serviceChosen_ && serviceChosen_->idService > 0) {
        loadServiceLists(*serviceChosen_);
    } else {
        loadAllWorktypesAndTypists();
    }
    dictationTypes_ = {speechLabel(), digitalLabel()};
    if (!fieldText(kAuthorTag).empty()) {
        downloadContextIfExistsWithAuteur(fieldText(kAuthorTag));
        setEnabled(kServiceTag, true);
    }
    changed();
}

std::int64_t AbstractParamWorkflow::getIDAuteur(const std::string& author) const {
    const auto found = std::find(authors_.begin(), authors_.end(), author);
    if (found == authors_.end()) {
        return 0;
    }
    const auto position = static_cast<std::size_t>(found - authors_.begin());
    return position < authorIds_.size() ? authorIds_[position] : 0;
}

void AbstractParamWorkflow::downloadContextIfExistsWithAuteur(const std::string& author) {
    const std::int64_t id = getIDAuteur(author);
    if (id < 1) {
        return;
    }
    contexts_ = contextRequest().selectContextUser(id);
    if (!contexts_.empty() && !contexts_.front().empty()) {
        if (!paramWorkflow_.typeDictee.empty() && !fieldText(kTypeTag).empty()) {
            // The set's context only when it is one of this author's: after a change of
            // author it names a context of the previous one.
            const bool own =
                std::find(contexts_.begin(), contexts_.end(), paramWorkflow_.contexte) != contexts_.end();
            setField(kContextTag, own ? paramWorkflow_.contexte : contexts_.front());
        } else {
            setField(kContextTag, contexts_.front());
            setField(kTypeTag, speechLabel());
        }
        setEnabled(kContextTag, true);
        setEnabled(kTypeTag, true);
    } else {
        setField(kContextTag, "");
        setEnabled(kContextTag, false);
        setField(kTypeTag, digitalLabel());
        setEnabled(kTypeTag, false);
    }
    if (fieldText(kTypeTag) == digitalLabel()) {
        setField(kContextTag, "");
        setEnabled(kContextTag, false);
    }
}

std::optional<AbstractParamWorkflow::PickerContent> AbstractParamWorkflow::pickerContentFor(int tag) const {
    switch (tag) {
    case kAuthorTag:
        return PickerContent{fieldLabel(kAuthorTag), authors_,
                             localized("ABSTRACT_PARAM_WORKFLOW_NO_USER",
                                       "Aucun utilisateur n'est présent dans votre configuration")};
    case kTypeTag:
    case kContextTag:
        return PickerContent{
            fieldLabel(tag), tag == kTypeTag ? dictationTypes_ : contexts_,
            localized("ABSTRACT_PARAM_WORKFLOW_SELECT_USER", "Veuillez sélectionner un utilisateur")};
    case kWorktypeTag:
        return PickerContent{fieldLabel(kWorktypeTag), displayInfoWorktype(),
                             localized("ABSTRACT_PARAM_WORKFLOW_NO_WORK",
                                       "Aucun travail type n'est présent dans votre configuration")};
    case kTypistTag:
        return PickerContent{fieldLabel(kTypistTag), typists_, {}};
    case kPriorityTag:
        return PickerContent{fieldLabel(kPriorityTag), priorities_, {}};
    default:
        return std::nullopt;
    }
}

bool AbstractParamWorkflow::textFieldShouldBeginEditing(int tag) {
    if (tag > kPriorityTag) {
        return true;
    }
    if (tag == kServiceTag) {
        if (ConfigurationManager::shouldDisplayServices()) {
            openServicesView();
        }
        return false;
    }
    auto content = pickerContentFor(tag);
    if (!content) {
        return false;
    }
    if (content->data.empty()) {
        if (!content->emptyMessage.empty()) {
            Notification::pushNotification(content->emptyMessage);
        }
        return false;
    }
    if (tag == kAuthorTag) {
        setField(kServiceTag, "");
    }
    const std::string& current = fieldText(tag);
    if (!current.empty()) {
        const std::string wanted = StringExtension::stringWithoutSpace(current);
        for (std::size_t row = 0; row < content->data.size(); ++row) {
            const bool same = tag == kWorktypeTag ? getWortypeName(content->data[row]) == wanted
                                                  : content->data[row] == current;
            if (same) {
                rowSelected_ = static_cast<int>(row);
                break;
            }
        }
    }
    textFieldSelected_ = tag;
    picker_ = std::make_shared<SelectionView>(content->title, std::move(content->data), rowSelected_,
                                              [this](bool cancelled, const std::optional<std::string>&,
                                                     int index) { validateParamPicka(cancelled, index); });
    changed();
    return false;
}

bool AbstractParamWorkflow::setFieldText(int tag, std::string text) {
    if (tag != kFirstFieldTag && tag != kSecondFieldTag) {
        return false;
    }
    if (auto problem = ParamWorkflowDicteeTitleIdentViewController::problemWithField(fieldLabel(tag), text)) {
        UserInterface::shared().pushBanner(*problem);
        return false;
    }
    setField(tag, std::move(text));
    changed();
    return true;
}

void AbstractParamWorkflow::validateParamPicka(bool cancelled, int index) {
    const int tag = textFieldSelected_;
    picker_.reset();
    if (tag == kAuthorTag && fieldText(kServiceTag).empty() && serviceChosen_) {
        // Opening the author's picker emptied the service field; it comes back unless
        // another author is chosen.
        setField(kServiceTag, serviceChosen_->name);
    }
    const auto content = pickerContentFor(tag);
    if (cancelled || !content || index < 0 || static_cast<std::size_t>(index) >= content->data.size()) {
        changed();
        return;
    }
    rowSelected_ = index;
    const auto row = static_cast<std::size_t>(index);
    const std::string& chosen = content->data[row];
    switch (tag) {
    case kAuthorTag:
        if (chosen != fieldText(kAuthorTag)) {
            setField(kAuthorTag, chosen);
            setField(kContextTag, "");
            // Services are the author's: the previous author's one is not kept.
            if (serviceChosen_) {
                serviceChosen_.reset();
                setField(kServiceTag, "");
                loadAllWorktypesAndTypists();
            }
            downloadContextIfExistsWithAuteur(chosen);
            if (ConfigurationManager::shouldDisplayServices()) {
                setField(kTypistTag, "");
                setField(kWorktypeTag, "");
            }
        }
        setEnabled(kServiceTag, true);
        break;
    case kTypeTag:
        setField(kTypeTag, chosen);
        if (chosen == digitalLabel()) {
            setField(kContextTag, "");
            setEnabled(kContextTag, false);
        } else {
            if (fieldText(kContextTag).empty()) {
                downloadContextIfExistsWithAuteur(fieldText(kAuthorTag));
            }
            setEnabled(kContextTag, true);
        }
        break;
    case kWorktypeTag: {
        const WorktypeInfo& worktype = worktypes_[row];
        setField(kWorktypeTag, worktype.name);
        if (ConfigurationManager::shouldBlockRecipient() && !worktype.typist.empty()) {
            setField(kTypistTag, worktype.typist);
        }
        break;
    }
    default:
        setField(tag, chosen);
        break;
    }
    changed();
}

AbstractParamWorkflow::~AbstractParamWorkflow() {
    // A picker still shown must not answer a screen that is gone.
    if (servicesPicker_) {
        servicesPicker_->setDelegate(nullptr);
    }
}

AbstractParamWorkflow::ServicesOpener AbstractParamWorkflow::presentingOn(NavigationController& navigation) {
    return [&navigation](const std::shared_ptr<ServicesViewController>& picker) {
        navigation.present(picker);
        UserInterface::shared().showScreen(picker->screenName(), picker->userName());
    };
}

void AbstractParamWorkflow::openServicesView() {
    servicesRequest_ =
        ServicesRequest{fieldText(kAuthorTag), serviceChosen_ ? serviceChosen_->guid : std::string()};
    servicesPicker_ = std::make_shared<ServicesViewController>(servicesRequest_->userName,
                                                               servicesRequest_->currentGuid, this);
    if (servicesOpener_) {
        servicesOpener_(servicesPicker_);
    }
    changed();
}

void AbstractParamWorkflow::validService(const std::optional<ServiceModel>& service) {
    servicesRequest_.reset();
    if (servicesPicker_) {
        // The picker is answering from inside itself: let go of it on a later turn.
        servicesPicker_->setDelegate(nullptr);
        RunLoop::main().post([picker = std::move(servicesPicker_)] {});
    }
    setField(kWorktypeTag, "");
    setField(kTypistTag, "");
    if (!service) {
        serviceChosen_.reset();
        paramWorkflow_.serviceID = -1;
        setField(kServiceTag, "");
        setEnabled(kWorktypeTag, false);
        setEnabled(kTypistTag, false);
    } else {
        serviceChosen_ = *service;
        paramWorkflow_.serviceID = static_cast<std::int32_t>(service->idService);
        setField(kServiceTag, service->name);
        loadServiceLists(*service);
        setEnabled(kWorktypeTag, true);
        setEnabled(kTypistTag, true);
    }
    changed();
}

std::string AbstractParamWorkflow::disabledReason(int tag) const {
    if (fieldText(kAuthorTag).empty() && (tag == kContextTag || tag == kTypeTag || tag == kServiceTag)) {
        return localized("ABSTRACT_PARAM_WORKFLOW_SELECT_USER", "Veuillez sélectionner un utilisateur");
    }
    const bool noContext = contexts_.empty() || contexts_.front().empty();
    switch (tag) {
    case kTypeTag:
    case kContextTag:
        if (noContext) {
            return "l'auteur « " + fieldText(kAuthorTag) + " » n'a pas de contexte : seule la « " +
                   digitalLabel() + " » est possible";
        }
        return "pas de contexte en « " + digitalLabel() + " »";
    default:
        return "« " + fieldLabel(tag) + " » ne peut pas être choisi sans service";
    }
}

std::string AbstractParamWorkflow::refusal(int tag, const std::string& value,
                                           const std::vector<std::string>& offered) const {
    const std::string possible = " : « " + value + " » (valeurs possibles : " + listed(offered) + ")";
    const std::string inService = serviceChosen_ ? " du service « " + serviceChosen_->name + " »" : "";
    switch (tag) {
    case kAuthorTag:
        return "auteur inconnu" + possible;
    case kTypeTag:
        return "type de dictée inconnu" + possible;
    case kContextTag:
        return "contexte inconnu pour l'auteur « " + fieldText(kAuthorTag) + " »" + possible;
    case kWorktypeTag:
        return "worktype" + inService + " inconnu" + possible;
    case kTypistTag:
        return "secrétaire" + inService + " inconnu" + possible;
    default:
        return "priorité inconnue" + possible;
    }
}

std::optional<std::string> AbstractParamWorkflow::choose(int tag, const std::string& value) {
    const std::vector<int> rows = rowTags();
    if (tag == kServiceTag || std::find(rows.begin(), rows.end(), tag) == rows.end()) {
        return "le champ « " + fieldLabel(tag) + " » n'est pas sur cet écran";
    }
    if (tag > kPriorityTag) {
        if (auto problem =
                ParamWorkflowDicteeTitleIdentViewController::problemWithField(fieldLabel(tag), value)) {
            return problem;
        }
        setFieldText(tag, value);
        return std::nullopt;
    }
    if (!fieldEnabled(tag)) {
        return disabledReason(tag);
    }
    const auto content = pickerContentFor(tag);
    if (content->data.empty() && !content->emptyMessage.empty()) {
        return content->emptyMessage;
    }
    const std::string wanted = tag == kTypeTag ? DictationType::labelForCode(value) : value;
    std::vector<std::string> offered = content->data;
    if (tag == kWorktypeTag) {
        for (auto& text : offered) {
            text = getWortypeName(text);
        }
    }
    auto found = std::find(offered.begin(), offered.end(), wanted);
    if (found == offered.end()) {
        // "haute" for "Haute": a letter's case is no reason to refuse.
        found = std::find_if(offered.begin(), offered.end(),
                             [&](const std::string& text) { return upperAscii(text) == upperAscii(wanted); });
    }
    if (found == offered.end()) {
        return refusal(tag, value, offered);
    }
    if (!textFieldShouldBeginEditing(tag) && picker_) {
        picker_->selectRow(static_cast<int>(found - offered.begin()));
        // Keeps the picker alive through its own answer.
        const std::shared_ptr<SelectionView> open = picker_;
        open->buttonTouched(SelectionView::kValidateTag);
    }
    return std::nullopt;
}

std::vector<ServiceModel> AbstractParamWorkflow::offeredServices() const {
    return ServicesViewController(fieldText(kAuthorTag)).servicesList();
}

std::optional<std::string>
AbstractParamWorkflow::chooseOffered(const std::string& asked,
                                     const std::function<bool(const ServiceModel&)>& matches) {
    const std::vector<int> rows = rowTags();
    if (std::find(rows.begin(), rows.end(), kServiceTag) == rows.end()) {
        return std::string("le choix du service n'est pas proposé (réglage « ServicesDisplay »)");
    }
    if (!fieldEnabled(kServiceTag)) {
        return disabledReason(kServiceTag);
    }
    // Only what the picker would offer: a service the author is not a member of would send his
    // dictations to a sector he does not belong to.
    const std::vector<ServiceModel> offered = offeredServices();
    const auto found = std::find_if(offered.begin(), offered.end(), matches);
    if (found == offered.end()) {
        std::vector<std::string> known;
        for (const auto& each : offered) {
            known.push_back(std::to_string(static_cast<std::int64_t>(each.idService)) + " (" + each.name +
                            ")");
        }
        return "service inconnu pour l'auteur « " + fieldText(kAuthorTag) + " » : « " + asked +
               " » (valeurs possibles : " + listed(known) + ")";
    }
    validService(*found);
    return std::nullopt;
}

std::optional<std::string> AbstractParamWorkflow::chooseService(std::int64_t serviceRowId) {
    if (serviceRowId <= 0) {
        const std::vector<int> rows = rowTags();
        if (std::find(rows.begin(), rows.end(), kServiceTag) == rows.end()) {
            return std::string("le choix du service n'est pas proposé (réglage « ServicesDisplay »)");
        }
        if (!fieldEnabled(kServiceTag)) {
            return disabledReason(kServiceTag);
        }
        validService(std::nullopt);
        return std::nullopt;
    }
    return chooseOffered(std::to_string(serviceRowId), [serviceRowId](const ServiceModel& service) {
        return static_cast<std::int64_t>(service.idService) == serviceRowId;
    });
}

std::optional<std::string> AbstractParamWorkflow::chooseService(const std::string& idOrGuid) {
    // Digits only are a row id; anything else, a sign included, is looked up as a guid.
    std::uint32_t number = 0;
    const char* end = idOrGuid.data() + idOrGuid.size();
    const auto [stop, error] = std::from_chars(idOrGuid.data(), end, number);
    if (!idOrGuid.empty() && error == std::errc() && stop == end) {
        return chooseService(static_cast<std::int64_t>(number));
    }
    return chooseOffered(idOrGuid,
                         [&idOrGuid](const ServiceModel& service) { return service.guid == idOrGuid; });
}

void AbstractParamWorkflow::saveParamWorkflow() {
    paramWorkflow_.auteur = fieldText(kAuthorTag);
    paramWorkflow_.contexte = fieldText(kContextTag);
    paramWorkflow_.typeDictee = fieldText(kTypeTag);
    paramWorkflow_.secretaire = fieldText(kTypistTag);
    paramWorkflow_.worktype = fieldText(kWorktypeTag);
    paramWorkflow_.serviceID = serviceChosen_ ? static_cast<std::int32_t>(serviceChosen_->idService) : 0;
}

} // namespace orvaneh
