#include "Classes/workflow/ParamWorkflowDicteeTitleIdentViewController.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/StringExtension.h"
#include "Platform/log/Log.h"
#include "Platform/ui/UserInterface.h"

namespace orvaneh {

ParamWorkflowDicteeTitleIdentViewController::ParamWorkflowDicteeTitleIdentViewController(
    std::string title, std::string identValue)
    : firstField_(std::move(title)), secondField_(std::move(identValue)) {}

std::string ParamWorkflowDicteeTitleIdentViewController::firstFieldPlaceholder() {
    return ConfigurationManager::getJobTitle();
}

std::string ParamWorkflowDicteeTitleIdentViewController::secondFieldPlaceholder() {
    return ConfigurationManager::getIdentValue();
}

std::optional<std::string>
ParamWorkflowDicteeTitleIdentViewController::problemWithField(const std::string& label,
                                                              const std::string& text) {
    // Titles and identifiers end up in lists, job descriptors and file names as one line.
    if (StringExtension::isSingleLineText(text)) {
        return std::nullopt;
    }
    return label +
           " ne peut contenir ni saut de ligne, ni caractère de contrôle, ni octets qui ne sont pas du "
           "texte UTF-8";
}

bool ParamWorkflowDicteeTitleIdentViewController::setField(std::string& field, const std::string& label,
                                                           std::string text) {
    if (auto problem = problemWithField(label, text)) {
        UserInterface::shared().pushBanner(*problem);
        return false;
    }
    if (field != text) {
        field = std::move(text);
        changed();
    }
    return true;
}

bool ParamWorkflowDicteeTitleIdentViewController::setFirstFieldText(std::string text) {
    return setField(firstField_, firstFieldPlaceholder(), std::move(text));
}

bool ParamWorkflowDicteeTitleIdentViewController::setSecondFieldText(std::string text) {
    return setField(secondField_, secondFieldPlaceholder(), std::move(text));
}

void ParamWorkflowDicteeTitleIdentViewController::endEditing() {
    if (ended_) {
        return;
    }
    ended_ = true;
    if (delegate_) {
        // Copies: the answer must not depend on what the delegate does to this screen.
        const Delegate delegate = delegate_;
        const std::string title = firstField_;
        const std::string identValue = secondField_;
        delegate(title, identValue);
    } else {
        Log::write(
            "Éditeur du titre et de l'identifiant fermé sans destinataire : les champs saisis sont perdus");
    }
    cancel();
}

} // namespace orvaneh
