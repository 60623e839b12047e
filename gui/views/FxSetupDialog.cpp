#include "views/FxSetupDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <list>

#include "core/PalkMixer.h"
#include "shell/DialogButtons.h"
#include "shell/DialogUnits.h"
#include "shell/EngineCall.h"
#include "tracks/Channel.h"
#include "views/ExportedKnobsDialog.h"

namespace {

QListWidget* List(int id, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setProperty("controlId", id);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

// The item of list that stands for name: the one of that name, else the first that starts
// with it (a song keeps only the first bytes of a long name).
QListWidgetItem* FindByName(const QListWidget& list, const QString& name) {
    for (Qt::MatchFlags how : {Qt::MatchExactly | Qt::MatchCaseSensitive,
                               Qt::MatchStartsWith | Qt::MatchCaseSensitive}) {
        const QList<QListWidgetItem*> found = list.findItems(name, how);
        if (!found.isEmpty())
            return found.front();
    }
    return nullptr;
}

QListWidgetItem* Selected(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

}  // namespace

FxSetupDialog::FxSetupDialog(Channel* channel, QWidget* parent)
    : QDialog(parent), channel_(channel) {
    setWindowTitle(QStringLiteral("FX Setup"));
    setObjectName(QStringLiteral("FxSetupDialog"));

    available_ = List(AvailableId, this);
    active_ = List(ActiveId, this);
    add_ = DialogButton(QStringLiteral("->"), AddId, this);
    remove_ = DialogButton(QStringLiteral("<-"), RemoveId, this);

    QDialogButtonBox* buttons = OkCancelButtons(*this, Qt::Horizontal, &ok_);

    auto* arrows = new QVBoxLayout;
    arrows->addStretch();
    arrows->addWidget(add_);
    arrows->addWidget(remove_);
    arrows->addStretch();

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Available"), this), 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Active"), this), 0, 2);
    layout->addWidget(available_, 1, 0);
    layout->addLayout(arrows, 1, 1);
    layout->addWidget(active_, 1, 2);
    layout->addWidget(buttons, 2, 0, 1, 3);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(2, 1);

    // The lists ask for more room than plug-in names need; they may be smaller than that.
    resize(InDialogUnits(*this, 260, 130).expandedTo(minimumSizeHint()));

    connect(add_, &QPushButton::clicked, this, &FxSetupDialog::AddSelected);
    connect(remove_, &QPushButton::clicked, this, &FxSetupDialog::RemoveSelected);
    connect(available_, &QListWidget::itemDoubleClicked, this, &FxSetupDialog::AddSelected);
    connect(active_, &QListWidget::itemDoubleClicked, this, &FxSetupDialog::OpenSettings);
    Fill();
}

FxSetupDialog::~FxSetupDialog() {
    HandKnobsToOwner();
}

void FxSetupDialog::Fill() {
    std::list<std::string> chain;
    CallEngine([&] {
        Mixer->GetPluginNames(loaded_);
        channel_->GetPlugins(chain);
    });
    for (const std::string& name : loaded_)
        available_->addItem(QString::fromStdString(name));
    for (const std::string& name : chain) {
        const QString text = QString::fromStdString(name);
        active_->addItem(text);
        delete FindByName(*available_, text);
    }
}

void FxSetupDialog::AddSelected() {
    QListWidgetItem* item = Selected(*available_);
    if (!item)
        return;
    const std::string name = item->text().toStdString();
    if (!CallEngine([&] { channel_->AddPlugin(name.c_str()); }))
        return;
    active_->addItem(available_->takeItem(available_->row(item)));
    active_->clearSelection();
}

void FxSetupDialog::RemoveSelected() {
    QListWidgetItem* item = Selected(*active_);
    if (!item)
        return;
    const std::string name = item->text().toStdString();
    if (!CallEngine([&] { channel_->RemovePlugin(name.c_str()); }))
        return;
    delete item;
    ReturnToAvailable(QString::fromStdString(name));
    CloseKnobsOf(QString::fromStdString(name));
}

void FxSetupDialog::CloseKnobsOf(const QString& name) {
    // Its knobs would go on talking to a plug-in that is no longer on the track.
    // The owner holds those opened here and in earlier visits.
    const QList<ExportedKnobsDialog*> open =
        parentWidget()
            ? parentWidget()->findChildren<ExportedKnobsDialog*>(Qt::FindDirectChildrenOnly)
            : OpenedKnobs();
    for (ExportedKnobsDialog* dialog : open)
        if (dialog->PluginName() == name && dialog->ChannelIndex() == channel_->GetIndex())
            dialog->close();
}

void FxSetupDialog::ReturnToAvailable(const QString& name) {
    const auto place = std::find(loaded_.begin(), loaded_.end(), name.toStdString());
    int row = 0;
    if (place == loaded_.end()) {
        row = available_->count();
    } else {
        // After every listed plug-in that was loaded before it.
        const auto before = loaded_.begin();
        while (row < available_->count() &&
               std::find(before, place, available_->item(row)->text().toStdString()) != place)
            ++row;
    }
    available_->insertItem(row, name);
}

void FxSetupDialog::OpenSettings(QListWidgetItem* item) {
    if (!item)
        return;
    const std::string name = item->text().toStdString();
    FX::Knob* knobs = nullptr;
    if (!CallEngine([&] { knobs = channel_->GetKnobs(name.c_str()); }))
        return;
    if (!knobs) {
        const auto window = static_cast<unsigned long>(winId());
        CallEngine([&] { channel_->FXSetup(name.c_str(), window); });
        return;
    }
    auto* dialog =
        new ExportedKnobsDialog(knobs, item->text(), channel_->GetIndex(), parentWidget());
    PlaceBeside(*dialog);
    dialog->show();
    // Owned by the main window, but above this one and free to use while this one is modal.
    if (dialog->windowHandle() && windowHandle())
        dialog->windowHandle()->setTransientParent(windowHandle());
    knobs_.append(dialog);
}

void FxSetupDialog::PlaceBeside(QWidget& knobs) const {
    constexpr int Gap = 8;
    constexpr int Cascade = 24;
    const QRect here = frameGeometry();
    QPoint at = here.topRight() + QPoint(Gap, 0) +
                QPoint(Cascade, Cascade) * static_cast<int>(OpenedKnobs().size());
    const QScreen* screen = windowHandle() ? windowHandle()->screen() : nullptr;
    if (screen) {
        const QRect room = screen->availableGeometry();
        if (at.x() + knobs.width() > room.right())
            at.setX(std::max(room.left(), here.left() - Gap - knobs.width()));
        at.setY(
            std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - knobs.height())));
    }
    knobs.move(at);
}

QList<ExportedKnobsDialog*> FxSetupDialog::OpenedKnobs() const {
    QList<ExportedKnobsDialog*> open;
    for (const QPointer<ExportedKnobsDialog>& dialog : knobs_)
        if (dialog)
            open.append(dialog.data());
    return open;
}

QStringList FxSetupDialog::Names(const QListWidget& list) {
    QStringList names;
    for (int row = 0; row < list.count(); ++row)
        names.append(list.item(row)->text());
    return names;
}

void FxSetupDialog::done(int result) {
    HandKnobsToOwner();
    QDialog::done(result);
}

void FxSetupDialog::HandKnobsToOwner() {
    for (ExportedKnobsDialog* dialog : OpenedKnobs()) {
        QWindow* window = dialog->windowHandle();
        QWidget* owner = dialog->parentWidget();
        if (window)
            window->setTransientParent(owner ? owner->window()->windowHandle() : nullptr);
    }
    knobs_.clear();
}
