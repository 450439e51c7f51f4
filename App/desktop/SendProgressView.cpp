#include "App/desktop/SendProgressView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

namespace orvaneh {

SendProgressView::SendProgressView(QWidget* parent)
    : QWidget(parent), text_(new QLabel(this)), bar_(new QProgressBar(this)) {
    setObjectName("progressionEnvoi");
    setAccessibleName("Progression de l'envoi");
    setToolTip("L'envoi des dictées se poursuit en arrière-plan");
    text_->setObjectName("texteEnvoi");
    bar_->setObjectName("barreEnvoi");
    bar_->setAccessibleName("Fichiers envoyés");
    bar_->setMaximumWidth(160);
    bar_->setTextVisible(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    hide();

    auto& center = NotificationCenter::defaultCenter();
    opened_ = center.addMainLoopObserver("EnvoiOpen", [this](const PostedNotification&) { started(); });
    progressed_ = center.addMainLoopObserver(
        "EnvoiProgress", [this](const PostedNotification& notice) { stepped(notice.userInfo); });
    closed_ = center.addMainLoopObserver("EnvoiClose", [this](const PostedNotification&) { stopped(); });
    ended_ = center.addMainLoopObserver("EnvoiFin", [this](const PostedNotification&) { stopped(); });
}

void SendProgressView::started() {
    text_->setText("Envoi en cours…");
    bar_->setRange(0, 0); // busy until the transport tells more
    setAccessibleDescription(text_->text());
    show();
}

namespace {

// The two counts of a notice, when both are whole numbers.
std::optional<std::pair<std::int64_t, std::int64_t>> counts(const Json& info, const char* rank,
                                                            const char* total) {
    if (!info.is_object() || !info.contains(rank) || !info.contains(total) ||
        !info[rank].is_number_integer() || !info[total].is_number_integer()) {
        return std::nullopt;
    }
    return std::make_pair(info[rank].get<std::int64_t>(), info[total].get<std::int64_t>());
}

} // namespace

void SendProgressView::stepped(const Json& info) {
    if (const auto files = counts(info, "fichier", "fichiers")) {
        const auto [rank, total] = *files;
        if (total <= 0 || rank <= 0 || rank > total || total > 100000) {
            return;
        }
        text_->setText(QString("Envoi : fichier %1 sur %2").arg(rank).arg(total));
        bar_->setAccessibleName("Fichiers envoyés");
        bar_->setRange(0, static_cast<int>(total));
        bar_->setValue(static_cast<int>(rank - 1));
    } else if (const auto parts = counts(info, "partie", "parties")) {
        // The transcription service's upload: the parts it has accepted of the file.
        const auto [accepted, total] = *parts;
        if (total <= 0 || accepted < 0 || accepted > total ||
            total > std::numeric_limits<std::int32_t>::max()) {
            return;
        }
        const int percent = static_cast<int>(accepted * 100 / total);
        text_->setText(QString("Envoi au service de transcription : %1 %").arg(percent));
        bar_->setAccessibleName("Part envoyée");
        bar_->setRange(0, 100);
        bar_->setValue(percent);
    } else {
        return;
    }
    setAccessibleDescription(text_->text());
    show();
}

void SendProgressView::stopped() {
    hide();
}

} // namespace orvaneh
