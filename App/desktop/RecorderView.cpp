#include "App/desktop/RecorderView.h"

#include "App/desktop/CursorSlider.h"
#include "App/desktop/ElidedLabel.h"
#include "App/desktop/LevelMeterView.h"
#include "App/desktop/WaveformView.h"
#include "Classes/audio/AudioRecordControllerThree.h"
#include "Platform/files/Resources.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace orvaneh {

namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString cssColor(const Color& color, double alpha = 1) {
    return QString("rgba(%1, %2, %3, %4)")
        .arg(static_cast<int>(color.red * 255))
        .arg(static_cast<int>(color.green * 255))
        .arg(static_cast<int>(color.blue * 255))
        .arg(color.alpha * alpha);
}

// The resource icon of that name, else the style's stand-in.
QIcon iconNamed(const char* name, QStyle::StandardPixmap fallback, const QWidget* widget) {
    const auto path = Resources::path(std::string("icons/") + name + ".svg");
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        return QIcon(QString::fromStdString(path.string()));
    }
    return widget->style()->standardIcon(fallback);
}

QPushButton* makeButton(const QString& title, const char* name, const QString& toolTip, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setObjectName(name);
    button->setAccessibleName(title);
    button->setToolTip(toolTip);
    return button;
}

QPushButton* transportButton(const QString& title, const char* name, const QString& toolTip, const char* icon,
                             QStyle::StandardPixmap fallback, QWidget* parent) {
    auto* button = makeButton(title, name, toolTip, parent);
    button->setIcon(iconNamed(icon, fallback, parent));
    button->setIconSize(QSize(24, 24));
    return button;
}

QLabel* nameLabel(QLabel* label, const char* name, const QString& accessibleName) {
    label->setObjectName(name);
    label->setAccessibleName(accessibleName);
    label->setToolTip(accessibleName);
    return label;
}

QLabel* makeLabel(const char* name, const QString& accessibleName, QWidget* parent) {
    return nameLabel(new QLabel(parent), name, accessibleName);
}

void setTextIfChanged(QLabel* label, const QString& value) {
    if (label->text() != value) {
        label->setText(value);
    }
}

} // namespace

RecorderView::RecorderView(std::shared_ptr<AudioRecordControllerThree> recorder, QWidget* parent)
    : QWidget(parent), recorder_(std::move(recorder)), strip_(new QFrame(this)),
      title_(nameLabel(new ElidedLabel(this), "titreDictee", "Titre de la dictée")),
      worktype_(makeLabel("typeTravail", "Type de travail", this)),
      indicator_(makeLabel("indicateurEnregistrement", "Enregistrement en cours", this)),
      priority_(makeButton("Priorité", "boutonPriorite", "Changer la priorité de la dictée", this)),
      track_(makeButton("Piste", "boutonPiste",
                        "Passer de la dictée à l'instruction et inversement (touche T)", this)),
      parameters_(makeButton("Paramètres", "boutonParametresDictee", "Paramètres de cette dictée", this)),
      titleIdent_(
          makeButton("Titre et identifiant", "boutonTitreIdent", "Modifier le titre et l'identifiant", this)),
      scanner_(makeButton("Code-barres", "boutonScanner", "Lire l'identifiant sur un code-barres", this)),
      caseFile_(makeButton("Dossier", "boutonDossier", "Chercher le dossier de cette dictée", this)),
      pictures_(makeButton("Photos", "boutonPhotos", "Photos jointes à cette dictée", this)),
      position_(makeLabel("tempsEcoule", "Position du curseur", this)),
      duration_(makeLabel("dureePiste", "Durée de la piste", this)), slider_(new CursorSlider(this)),
      waveform_(new WaveformView(this)), levelMeter_(new LevelMeterView(this)),
      start_(transportButton("Début", "boutonDebut", "Aller au début de la piste (touche Origine)", "debut",
                             QStyle::SP_MediaSkipBackward, this)),
      rewind_(transportButton("Reculer", "boutonReculer",
                              "Reculer tant que le bouton est enfoncé (flèche gauche : "
                              "un pas)",
                              "reculer", QStyle::SP_MediaSeekBackward, this)),
      record_(transportButton("Enregistrer", "boutonEnregistrer",
                              "Armer l'enregistrement ; pendant une prise, l'arrêter (R ou F9 : enregistrer "
                              "tout de suite, ou arrêter)",
                              "enregistrer", QStyle::SP_DialogYesButton, this)),
      play_(transportButton("Lecture", "boutonLecture", "Lecture ou pause ; armé, lance la prise (Espace)",
                            "lecture", QStyle::SP_MediaPlay, this)),
      stop_(transportButton("Arrêt", "boutonStop", "Arrêter la prise ou la lecture", "stop",
                            QStyle::SP_MediaStop, this)),
      forward_(transportButton("Avancer", "boutonAvancer",
                               "Avancer tant que le bouton est enfoncé (flèche droite : un pas)", "avancer",
                               QStyle::SP_MediaSeekForward, this)),
      end_(transportButton("Fin", "boutonFin", "Aller à la fin de la piste (touche Fin)", "fin",
                           QStyle::SP_MediaSkipForward, this)),
      pin_(transportButton("Marqueur", "boutonMarqueur",
                           "Poser un marqueur au curseur, ou retirer les marqueurs (M)", "marqueur",
                           QStyle::SP_ArrowDown, this)),
      cut_(transportButton("Couper", "boutonCouper", "Supprimer le passage entre les marqueurs (Suppr)",
                           "couper", QStyle::SP_TrashIcon, this)) {
    setObjectName(text(recorder_->screenName()));
    setAccessibleName("Enregistrement");

    strip_->setObjectName("bandeauEcran");
    strip_->setAccessibleName("Bandeau de l'écran");
    strip_->setFixedHeight(6);
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    title_->setFont(bold);
    indicator_->setText("● Enregistrement");
    slider_->setObjectName("curseur");
    slider_->setAccessibleName("Curseur de position");
    slider_->setToolTip("Cliquer ou glisser pour placer le curseur ; un marqueur se sélectionne d'un clic");
    waveform_->setObjectName("formeOnde");
    waveform_->setAccessibleName("Forme d'onde de la piste");
    waveform_->setToolTip("Forme d'onde de la piste en cours");
    levelMeter_->setObjectName("vumetre");
    levelMeter_->setAccessibleName("Niveau sonore");
    levelMeter_->setToolTip("Niveau du micro pendant la prise, du son pendant la lecture");
    position_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    duration_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* heading = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->addWidget(title_);
    titles->addWidget(worktype_);
    heading->addLayout(titles, 1);
    heading->addWidget(indicator_);
    heading->addWidget(priority_);
    heading->addWidget(track_);

    auto* options = new QHBoxLayout;
    options->addWidget(parameters_);
    options->addWidget(titleIdent_);
    options->addWidget(scanner_);
    options->addWidget(caseFile_);
    options->addWidget(pictures_);
    options->addStretch();

    auto* times = new QHBoxLayout;
    times->addWidget(position_);
    times->addStretch();
    // The markers and the cut belong to the bar: beside it, so that the transport row stays narrow.
    times->addWidget(pin_);
    times->addWidget(cut_);
    times->addStretch();
    times->addWidget(duration_);

    auto* transport = new QHBoxLayout;
    transport->addStretch();
    for (QPushButton* button : {start_, rewind_, record_, play_, stop_, forward_, end_}) {
        transport->addWidget(button);
    }
    transport->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(strip_);
    layout->addLayout(heading);
    layout->addLayout(options);
    layout->addStretch(1);
    layout->addLayout(times);
    layout->addWidget(slider_);
    layout->addWidget(waveform_, 2);
    layout->addWidget(levelMeter_);
    layout->addStretch(1);
    layout->addLayout(transport);

    AudioRecordControllerThree& screen = *recorder_;
    connect(priority_, &QPushButton::clicked, this, [&screen] { screen.displayPriorite(); });
    connect(track_, &QPushButton::clicked, this, [&screen] { screen.changeDicteeOrInstruction(); });
    connect(parameters_, &QPushButton::clicked, this, [&screen] { screen.displayParameter(); });
    connect(titleIdent_, &QPushButton::clicked, this,
            [&screen] { screen.optionBarreController().displayTitleAndIdentPropriete(); });
    connect(scanner_, &QPushButton::clicked, this, [&screen] { screen.displayScanner(); });
    connect(caseFile_, &QPushButton::clicked, this,
            [&screen] { screen.optionBarreController().displayFileSearch(); });
    connect(pictures_, &QPushButton::clicked, this, [&screen] { screen.displayPictures(); });
    // Release is the action; the press only counts when push-to-talk is set (the controller says).
    connect(record_, &QPushButton::pressed, this, [&screen] { screen.pushRecordActionStart(); });
    connect(record_, &QPushButton::clicked, this, [&screen] { screen.recordAction(); });
    connect(play_, &QPushButton::pressed, this, [&screen] { screen.pushPlayerActionStart(); });
    connect(play_, &QPushButton::clicked, this, [&screen] { screen.playerAction(); });
    connect(stop_, &QPushButton::clicked, this, [&screen] {
        if (screen.etatLecteur() == AudioRecordControllerThree::kRecording) {
            screen.recordAction();
        } else if (screen.isPlaying()) {
            screen.performPlayerAction();
        }
    });
    connect(rewind_, &QPushButton::pressed, this, [&screen] { screen.rewindTouchDown(); });
    connect(rewind_, &QPushButton::released, this, [&screen] { screen.rewindTouchUp(); });
    connect(forward_, &QPushButton::pressed, this, [&screen] { screen.fastForwardTouchDown(); });
    connect(forward_, &QPushButton::released, this, [&screen] { screen.fastForwardTouchUp(); });
    connect(start_, &QPushButton::clicked, this, [this] { moveCursor(-1e12); });
    connect(end_, &QPushButton::clicked, this, [this] { moveCursor(1e12); });
    connect(pin_, &QPushButton::clicked, this, [&screen] { screen.placeOrRemovePin(); });
    connect(cut_, &QPushButton::clicked, this, [&screen] { screen.cutChunkDictation(); });
    connect(slider_, &CursorSlider::moved, this,
            [&screen](float value) { screen.progressSliderMoved(value); });
    connect(slider_, &CursorSlider::markerTouched, this, [&screen](int which) { screen.touchPin(which); });

    addShortcut(QKeySequence(Qt::Key_Space), [&screen] { screen.playerAction(); });
    addShortcut(QKeySequence(Qt::Key_R), [this] { recordKey(); });
    addShortcut(QKeySequence(Qt::Key_F9), [this] { recordKey(); });
    addShortcut(QKeySequence(Qt::Key_Home), [this] { moveCursor(-1e12); });
    addShortcut(QKeySequence(Qt::Key_End), [this] { moveCursor(1e12); });
    addShortcut(QKeySequence(Qt::Key_Left),
                [this] { moveCursor(recorder_->view().sliderValue - recorder_->seekStep()); });
    addShortcut(QKeySequence(Qt::Key_Right),
                [this] { moveCursor(recorder_->view().sliderValue + recorder_->seekStep()); });
    addShortcut(QKeySequence(Qt::Key_M), [&screen] { screen.placeOrRemovePin(); });
    addShortcut(QKeySequence(Qt::Key_Delete), [&screen] { screen.cutChunkDictation(); });
    addShortcut(QKeySequence(Qt::Key_T), [&screen] { screen.changeDicteeOrInstruction(); });

    recorder_->setChangeCallback([this] { refresh(); });
    refresh();
}

RecorderView::~RecorderView() {
    recorder_->setChangeCallback(nullptr);
}

void RecorderView::addShortcut(const QKeySequence& keys, const std::function<void()>& action) {
    // The window's: the stack shows one screen at a time, and a hidden screen's keys are off.
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    shortcut->setEnabled(isVisible());
    connect(shortcut, &QShortcut::activated, this, action);
    shortcuts_.push_back(shortcut);
}

void RecorderView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    for (QShortcut* shortcut : shortcuts_) {
        shortcut->setEnabled(true);
    }
}

void RecorderView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    for (QShortcut* shortcut : shortcuts_) {
        shortcut->setEnabled(false);
    }
}

void RecorderView::recordKey() {
    AudioRecordControllerThree& screen = *recorder_;
    if (screen.etatLecteur() == AudioRecordControllerThree::kRecording) {
        screen.recordAction();
        return;
    }
    if (screen.etatLecteur() == AudioRecordControllerThree::kPlayer) {
        screen.recordAction(); // armed
    }
    screen.performPlayerAction();
}

void RecorderView::moveCursor(double seconds) {
    const auto shown = recorder_->view();
    const double within = std::clamp(seconds, static_cast<double>(shown.sliderMinimum),
                                     static_cast<double>(std::max(shown.sliderMinimum, shown.sliderMaximum)));
    recorder_->progressSliderMoved(static_cast<float>(within));
}

void RecorderView::refresh() {
    const AudioRecordControllerThree::View shown = recorder_->view();
    const bool recording = shown.state == AudioRecordControllerThree::kRecording;
    const bool armed = shown.state == AudioRecordControllerThree::kStandBy;

    strip_->setStyleSheet("background-color: " + cssColor(shown.tabStripColor) + ";");
    setTextIfChanged(title_, text(shown.titleText));
    title_->setAccessibleDescription(title_->text()); // whole, when the label cuts it
    QColor titleColor = palette().color(QPalette::WindowText);
    titleColor.setAlphaF(static_cast<float>(shown.titleAlpha));
    title_->setStyleSheet("color: " + titleColor.name(QColor::HexArgb) + ";");
    setTextIfChanged(worktype_, text(shown.worktypeText));
    worktype_->setVisible(!shown.worktypeText.empty());
    indicator_->setVisible(recording);
    indicator_->setStyleSheet("color: " + cssColor(Colors::Red, recorder_->blinkOn() ? 1.0 : 0.35) + ";");

    priority_->setText("Priorité : " + text(recorder_->strPriorite()));
    priority_->setAccessibleName(priority_->text());
    track_->setText(shown.dictationTrack ? "Piste : dictée" : "Piste : instruction");
    track_->setAccessibleName(track_->text());
    track_->setIcon(iconNamed("piste", QStyle::SP_FileDialogDetailedView, this));
    scanner_->setVisible(shown.scannerButtonVisible);
    caseFile_->setVisible(recorder_->optionBarreController().fileSearchAvailable());
    for (QPushButton* button :
         {priority_, track_, parameters_, titleIdent_, scanner_, caseFile_, pictures_}) {
        button->setEnabled(!recording);
    }

    setTextIfChanged(position_, text(shown.positionText));
    setTextIfChanged(duration_, text(shown.durationText));
    slider_->setState(shown);
    slider_->setAccessibleDescription(text(shown.positionText) + " sur " + text(shown.durationText));
    // The span of the cursor's bar (a take in progress stretches it past the track).
    const double trackField = shown.dictationTrack ? shown.dictationDuration : shown.instructionDuration;
    waveform_->setRange(static_cast<double>(shown.sliderMinimum),
                        std::max(static_cast<double>(shown.sliderMaximum), trackField));
    levelMeter_->setLights(shown.levelLights);

    record_->setText(recording ? "Arrêter la prise" : armed ? "Désarmer" : "Enregistrer");
    record_->setAccessibleName(record_->text());
    record_->setStyleSheet(armed || recording ? "color: rgb(200, 0, 0); font-weight: bold;" : "");
    const bool pauseShown = shown.playPauseImage == "play_pause_btn_p";
    play_->setText(armed ? "Lancer la prise" : pauseShown ? "Pause" : "Lecture");
    play_->setAccessibleName(play_->text());
    play_->setIcon(pauseShown ? iconNamed("pause", QStyle::SP_MediaPause, this)
                              : iconNamed("lecture", QStyle::SP_MediaPlay, this));
    stop_->setEnabled(recording || recorder_->isPlaying());
    for (QPushButton* button : {start_, rewind_, forward_, end_}) {
        button->setEnabled(!recording);
    }
    pin_->setEnabled(shown.pinButtonEnabled);
    pin_->setText(shown.pinButtonImage == RecorderMarkers::kDeleteImage ? "Retirer les marqueurs"
                                                                        : "Marqueur");
    pin_->setAccessibleName(pin_->text());
    cut_->setEnabled(shown.cutEnabled && shown.band.has_value());
    refreshWaveform(shown);
}

void RecorderView::refreshWaveform(const AudioRecordControllerThree::View& shown) {
    if (shown.state == AudioRecordControllerThree::kRecording) {
        return; // the file is being written: read once the take is in
    }
    const std::filesystem::path track =
        shown.dictationTrack ? recorder_->baseDicteeFilePath() : recorder_->baseInstFilePath();
    if (track == shownTrack_ && shown.trackDuration == shownDuration_) {
        return;
    }
    shownTrack_ = track;
    shownDuration_ = shown.trackDuration;
    waveform_->showTrack(track);
}

} // namespace orvaneh
