#include "Classes/screens/PicturesViewController.h"

#include "Classes/core/DicteeRequest.h"
#include "Classes/core/Pictures.h"
#include "Classes/core/Tools.h"
#include "Classes/screens/Notification.h"
#include "Platform/files/AtomicFile.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/image/ImageFile.h"
#include "Platform/image/ImageScaler.h"
#include "Platform/image/JpegWriter.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

namespace orvaneh {

namespace fs = std::filesystem;

namespace {

constexpr int kDeleteQuestionTag = 83;

} // namespace

std::string PicturesViewController::title() const {
    return localized("PICTURES_SELECTOR_TITLE", "Photos");
}

namespace {

// The k of "N-k.jpg"; names without one come last.
unsigned long pictureNumber(const std::string& name) {
    const auto dash = name.rfind('-');
    const auto dot = name.rfind('.');
    if (dash == std::string::npos || dot == std::string::npos || dot <= dash + 1) {
        return ULONG_MAX;
    }
    const std::string digits = name.substr(dash + 1, dot - dash - 1);
    if (digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return ULONG_MAX;
    }
    return std::stoul(digits);
}

} // namespace

void PicturesViewController::loadPictures() {
    pictures_ = Pictures::picturesForDictation(dicteeId_);
    // The directory gives no order; the grid shows the pictures in the order they were taken.
    std::stable_sort(pictures_.begin(), pictures_.end(), [](const std::string& a, const std::string& b) {
        const auto left = pictureNumber(a);
        const auto right = pictureNumber(b);
        return left != right ? left < right : a < b;
    });
    changed();
}

std::string PicturesViewController::changeRefusal() const {
    if (dicteeId_ == 0) {
        return {};
    }
    if (sendingProbe_ && sendingProbe_() == dicteeId_) {
        return localized(
            "PICTURES_CONTROLLER_BEING_SENT",
            "Cette dictée est en cours d'envoi : ses photos ne peuvent pas changer pour l'instant.");
    }
    // A dictation not recorded yet (the recorder's new one) has no sending state to respect.
    const DicteeModel record = DicteeRequest().selectDictee(dicteeId_);
    if (record.idDictee != 0 && record.envoi == 1) {
        return "La dictée " + std::to_string(dicteeId_) + " est envoyée : ses photos ne changent plus.";
    }
    return {};
}

std::vector<PicturesViewController::GridItem> PicturesViewController::items() const {
    const std::string directory = Tools::documentsDirectory();
    std::vector<GridItem> items;
    items.reserve(pictures_.size());
    for (const auto& name : pictures_) {
        GridItem item{name, directory + "/" + name, {}};
        // The header tells a readable image from a damaged or foreign file without decoding it.
        if (!ImageFile::readSize(item.path).ok()) {
            item.placeholderImage = kNoPictureImage;
        }
        items.push_back(std::move(item));
    }
    return items;
}

Rect PicturesViewController::sizeForPickedImage(int width, int height) {
    if (height > width && height > 0) {
        // In single precision, as the picture's width has always been computed.
        const float scaled =
            static_cast<float>(width) * static_cast<float>(kPictureHeight) / static_cast<float>(height);
        const double drawn = std::max(1.0, std::round(static_cast<double>(scaled)));
        return {std::floor((kPictureWidth - drawn) / 2), 0, drawn, kPictureHeight};
    }
    return {0, 0, kPictureWidth, kPictureHeight};
}

RgbImage PicturesViewController::compose(const RgbImage& image) {
    const Rect frame = sizeForPickedImage(image.width(), image.height());
    const RgbImage scaled =
        ImageScaler::resize(image, static_cast<int>(frame.width), static_cast<int>(frame.height));
    if (frame.width == kPictureWidth && frame.height == kPictureHeight) {
        return scaled;
    }
    RgbImage picture(kPictureWidth, kPictureHeight);
    picture.paste(scaled, static_cast<int>(frame.x), static_cast<int>(frame.y));
    return picture;
}

bool PicturesViewController::refuse(const std::string& text) {
    message_ = text;
    Log::write(text);
    Notification::pushNotification(text);
    changed();
    return false;
}

bool PicturesViewController::addPictureFromFile(const fs::path& path) {
    if (const std::string refusal = changeRefusal(); !refusal.empty()) {
        return refuse(refusal);
    }
    const auto decoded = ImageFile::read(path);
    if (!decoded.ok()) {
        return refuse(localized("PICTURES_CONTROLLER_ADD_ERROR", "La photo n'a pas pu être ajoutée") + " : " +
                      decoded.error);
    }
    if (!saveImage(compose(decoded.image))) {
        return false;
    }
    message_.clear();
    loadPictures();
    return true;
}

bool PicturesViewController::saveImage(const RgbImage& picture) {
    const std::string failed =
        localized("PICTURES_CONTROLLER_SAVE_ERROR", "La photo n'a pas pu être enregistrée");
    std::string error;
    // Encoded once, at the quality the pictures have always been kept at in the end.
    const auto bytes = JpegWriter::encode(picture, kJpegQuality, &error);
    if (!bytes) {
        return refuse(failed + " : " + error);
    }
    const fs::path directory = Tools::documentsDirectory();
    // The names seen taken are skipped without writing; one taken by another process between
    // that look and the publication is skipped by the publication itself, a bounded number of
    // times so that a directory filling up without end cannot hold the screen.
    unsigned asked = 0;
    const auto next = [&]() -> std::optional<fs::path> {
        if (asked++ > kMaxNameCollisions) {
            return std::nullopt;
        }
        fs::path candidate;
        std::error_code status;
        do {
            candidate = directory / (std::to_string(dicteeId_) + "-" + std::to_string(++fileId_) + ".jpg");
            // Any entry of that name counts, even a link to nothing.
        } while (fs::exists(fs::symlink_status(candidate, status)));
        return candidate;
    };
    const auto saved =
        AtomicFile::writeNew(next, *bytes, fs::perms::owner_read | fs::perms::owner_write, &error);
    if (!saved) {
        return refuse(failed + " : " + error);
    }
    const std::string name = saved->filename().string();
    lastSavedName_ = name;
    Log::write("Photo « " + name + " » ajoutée à la dictée " + std::to_string(dicteeId_));
    return true;
}

bool PicturesViewController::deletePictureAtIndex(std::size_t index, std::function<void(bool deleted)> done) {
    if (index >= pictures_.size()) {
        return false;
    }
    if (const std::string refusal = changeRefusal(); !refusal.empty()) {
        return refuse(refusal);
    }
    // Found again by its name: the list may be reloaded while the question waits.
    const std::string name = pictures_[index];
    const std::vector<UserInterface::Choice> choices = {
        {localized("PICTURES_CONTROLLER_DELETE", "Supprimer"), UserInterface::Choice::Style::Destructive},
        {localized("PICTURES_CONTROLLER_CANCEL", "Annuler"), UserInterface::Choice::Style::Cancel},
    };
    UserInterface::shared().presentChoices(
        localized("PICTURES_CONTROLLER_DELETE_PICTURE", "Supprimer la photo ?"), "", choices,
        kDeleteQuestionTag,
        [this, alive = std::weak_ptr<char>(alive_), name, done = std::move(done)](int answer) {
            bool deleted = false;
            // A send may have begun while the question waited.
            const std::string refusal = answer == 0 && alive.lock() ? changeRefusal() : std::string();
            if (!refusal.empty()) {
                refuse(refusal);
            } else if (answer == 0 && alive.lock()) {
                std::error_code error;
                fs::remove(fs::path(Tools::documentsDirectory()) / name, error);
                // A file already gone counts as deleted: the grid is what is out of date.
                deleted = !error;
                if (deleted) {
                    Log::write("Photo « " + name + " » supprimée");
                    loadPictures();
                } else {
                    refuse(
                        localized("PICTURES_CONTROLLER_DELETE_ERROR", "La photo n'a pas pu être supprimée") +
                        " : " + systemErrorText(error.value()));
                }
            }
            if (done) {
                done(deleted);
            }
        });
    return true;
}

} // namespace orvaneh
