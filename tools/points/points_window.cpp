#include "points_window.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "message_format.h"
#include "point_value.h"
#include "points_csv.h"
#include "status_line.h"
#include "trend_chart.h"

namespace points {
namespace {

// The background of a value that differs from the read before it.
const QColor kChangedColour(255, 224, 102);
constexpr int kValueRole = Qt::UserRole;  // the last value read, on the hexadecimal cell

QString PointQText(std::uint16_t point) {
    return QString::fromStdString(PointText(point));
}

QTableWidgetItem* FixedItem(const QString& text = {}) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

}  // namespace

PointsWindow::PointsWindow(GatewayLink& link, QWidget* parent) : QMainWindow(parent), link_(link) {
    BuildWidgets();
    BuildMenus();
    setWindowTitle(tr("VR-620 points - %1").arg(link_.Endpoint()));
    connect(&link_, &GatewayLink::StateChanged, this, &PointsWindow::OnState);
    connect(&link_, &GatewayLink::Answered, this, &PointsWindow::OnAnswered);
    connect(&link_, &GatewayLink::Failed, this, &PointsWindow::OnFailed);
    connect(&watchTimer_, &QTimer::timeout, this, &PointsWindow::WatchTick);
    link_.Start();
}

void PointsWindow::BuildWidgets() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* row = new QHBoxLayout;
    auto* pointLabel = new QLabel(tr("&Point:"), central);
    pointEdit_ = new QLineEdit(central);
    pointEdit_->setObjectName("pointEdit");
    pointEdit_->setPlaceholderText("0102");
    pointEdit_->setMaxLength(6);
    pointEdit_->setMaximumWidth(80);
    pointLabel->setBuddy(pointEdit_);
    auto* addButton = new QPushButton(tr("&Add"), central);
    addButton->setObjectName("addButton");
    auto* removeButton = new QPushButton(tr("Re&move"), central);
    removeButton->setObjectName("removeButton");
    auto* readButton = new QPushButton(tr("&Read"), central);
    readButton->setObjectName("readButton");
    auto* readAllButton = new QPushButton(tr("Read a&ll"), central);
    readAllButton->setObjectName("readAllButton");
    for (QWidget* w : std::initializer_list<QWidget*>{pointLabel, pointEdit_, addButton,
                                                      removeButton, readButton, readAllButton})
        row->addWidget(w);
    row->addSpacing(12);
    auto* valueLabel = new QLabel(tr("&Value:"), central);
    valueEdit_ = new QLineEdit(central);
    valueEdit_->setObjectName("valueEdit");
    valueEdit_->setPlaceholderText("12 34");
    valueLabel->setBuddy(valueEdit_);
    auto* writeButton = new QPushButton(tr("&Write"), central);
    writeButton->setObjectName("writeButton");
    row->addWidget(valueLabel);
    row->addWidget(valueEdit_, 1);
    row->addWidget(writeButton);
    row->addSpacing(12);
    auto* intervalLabel = new QLabel(tr("Watch &every"), central);
    intervalBox_ = new QSpinBox(central);
    intervalBox_->setObjectName("intervalBox");
    intervalBox_->setRange(1, 3600);
    intervalBox_->setValue(1);
    intervalBox_->setSuffix(tr(" s"));
    intervalLabel->setBuddy(intervalBox_);
    row->addWidget(intervalLabel);
    row->addWidget(intervalBox_);
    layout->addLayout(row);

    table_ = new QTableWidget(0, kColumnCount, central);
    table_->setObjectName("pointTable");
    table_->setHorizontalHeaderLabels({tr("Point"), tr("Name"), tr("Value (hex)"), tr("Unsigned"),
                                       tr("Signed"), tr("Text"), tr("Watch"), tr("Status")});
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    table_->horizontalHeader()->setSectionResizeMode(kStatusColumn, QHeaderView::Stretch);
    // A long status (a reason with a path) wraps within its row, which grows to hold it.
    table_->verticalHeader()->setMinimumSectionSize(table_->verticalHeader()->defaultSectionSize());
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setTabKeyNavigation(false);
    chart_ = new TrendChart(central);
    chart_->setObjectName("trendChart");
    auto* splitter = new QSplitter(Qt::Vertical, central);
    splitter->addWidget(table_);
    splitter->addWidget(chart_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    // The connection's state, and below it the latest message: each read whole.
    auto* lines = new QWidget(this);
    auto* linesLayout = new QVBoxLayout(lines);
    linesLayout->setContentsMargins(0, 0, 0, 0);
    linesLayout->setSpacing(0);
    connectionLabel_ = new StatusLine(lines);
    connectionLabel_->setObjectName("connectionLabel");
    messageLabel_ = new StatusLine(lines);
    messageLabel_->setObjectName("messageLabel");
    messageLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    messageLabel_->hide();
    linesLayout->addWidget(connectionLabel_);
    linesLayout->addWidget(messageLabel_);
    statusBar()->addWidget(lines, 1);

    connect(pointEdit_, &QLineEdit::returnPressed, this, &PointsWindow::AddFromEdit);
    connect(addButton, &QPushButton::clicked, this, &PointsWindow::AddFromEdit);
    connect(removeButton, &QPushButton::clicked, this, &PointsWindow::RemoveSelected);
    connect(readButton, &QPushButton::clicked, this, &PointsWindow::ReadSelected);
    connect(readAllButton, &QPushButton::clicked, this, &PointsWindow::ReadAll);
    connect(valueEdit_, &QLineEdit::returnPressed, this, &PointsWindow::WriteCurrent);
    connect(writeButton, &QPushButton::clicked, this, &PointsWindow::WriteCurrent);
    connect(intervalBox_, &QSpinBox::valueChanged, this, [this] { UpdateWatchTimer(); });
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == kWatchColumn) UpdateWatchTimer();
    });
    connect(table_, &QTableWidget::currentCellChanged, this,
            [this] { chart_->ShowPoint(CurrentPoint()); });
    resize(900, 560);
}

void PointsWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open list..."), QKeySequence::Open, this, &PointsWindow::OpenListDialog);
    file->addAction(tr("&Save list"), QKeySequence::Save, this, [this] { SaveListDialog(false); });
    file->addAction(tr("Save list &as..."), QKeySequence("Ctrl+Shift+S"), this,
                    [this] { SaveListDialog(true); });
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence("Ctrl+Q"), this, &QWidget::close);
    QMenu* pointsMenu = menuBar()->addMenu(tr("P&oints"));
    pointsMenu->addAction(tr("Read &all"), QKeySequence(Qt::Key_F5), this, &PointsWindow::ReadAll);
    pointsMenu->addAction(tr("&Remove"), QKeySequence::Delete, this, &PointsWindow::RemoveSelected);
    pointsMenu->addAction(tr("&Connect again"), QKeySequence("Ctrl+R"), this,
                          [this] { link_.Reconnect(); });
}

std::optional<std::uint16_t> PointsWindow::CurrentPoint() const {
    const int row = table_->currentRow();
    if (row < 0) return std::nullopt;
    return static_cast<std::uint16_t>(table_->item(row, kPointColumn)->data(Qt::UserRole).toUInt());
}

int PointsWindow::RowOf(std::uint16_t point) const {
    for (int row = 0; row < table_->rowCount(); ++row) {
        if (table_->item(row, kPointColumn)->data(Qt::UserRole).toUInt() == point) return row;
    }
    return -1;
}

bool PointsWindow::AddPoint(std::uint16_t point, const QString& name, bool watch) {
    if (RowOf(point) >= 0) return false;
    const QSignalBlocker quiet(table_);
    const int row = table_->rowCount();
    table_->insertRow(row);
    auto* pointItem = FixedItem(PointQText(point));
    pointItem->setData(Qt::UserRole, point);
    table_->setItem(row, kPointColumn, pointItem);
    table_->setItem(row, kNameColumn, new QTableWidgetItem(name));
    for (int column : {kHexColumn, kUnsignedColumn, kSignedColumn, kTextColumn, kStatusColumn})
        table_->setItem(row, column, FixedItem());
    auto* watchItem = FixedItem();
    watchItem->setFlags(watchItem->flags() | Qt::ItemIsUserCheckable);
    watchItem->setCheckState(watch ? Qt::Checked : Qt::Unchecked);
    table_->setItem(row, kWatchColumn, watchItem);
    UpdateWatchTimer();
    return true;
}

void PointsWindow::AddFromEdit() {
    const QString text = pointEdit_->text().trimmed();
    const auto point = ParsePointNumber(text.toStdString());
    if (!point) {
        Say(tr("\"%1\" is no point number: type 1 to 4 hexadecimal digits, such as 0102.")
                .arg(text));
        return;
    }
    if (!AddPoint(*point)) {
        Say(tr("Point %1 is in the list already.").arg(PointQText(*point)));
    } else {
        pointEdit_->clear();
        ReadPoint(*point);
    }
    table_->setCurrentCell(RowOf(*point), kPointColumn);
}

void PointsWindow::RemoveSelected() {
    std::set<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.insert(index.row());
    if (rows.empty() && table_->currentRow() >= 0) rows.insert(table_->currentRow());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const auto point = static_cast<std::uint16_t>(
            table_->item(*it, kPointColumn)->data(Qt::UserRole).toUInt());
        chart_->Forget(point);
        Unsay(point);
        table_->removeRow(*it);
    }
    UpdateWatchTimer();
}

void PointsWindow::ReadPoint(std::uint16_t point) {
    SetStatus(RowOf(point), tr("reading..."));
    link_.Read(point);
}

void PointsWindow::ReadSelected() {
    std::set<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.insert(index.row());
    if (rows.empty() && table_->currentRow() >= 0) rows.insert(table_->currentRow());
    if (rows.empty()) {
        Say(tr("Choose a point in the list first."));
        return;
    }
    for (int row : rows)
        ReadPoint(static_cast<std::uint16_t>(
            table_->item(row, kPointColumn)->data(Qt::UserRole).toUInt()));
}

void PointsWindow::ReadAll() {
    for (int row = 0; row < table_->rowCount(); ++row)
        ReadPoint(static_cast<std::uint16_t>(
            table_->item(row, kPointColumn)->data(Qt::UserRole).toUInt()));
}

void PointsWindow::WriteCurrent() {
    const auto point = CurrentPoint();
    if (!point) {
        Say(tr("Choose a point in the list first."));
        return;
    }
    Bytes value;
    switch (CheckWriteValue(valueEdit_->text().toStdString(), gateway::kMaxValueSize, value)) {
        case ValueCheck::kEmpty:
            Say(tr("Not written: type the value as hexadecimal bytes, such as 12 34."));
            return;
        case ValueCheck::kNotHex:
            Say(tr("Not written: \"%1\" is not hexadecimal bytes (pairs of the digits 0-9 and "
                   "A-F, such as 12 34).")
                    .arg(valueEdit_->text()));
            return;
        case ValueCheck::kTooLong:
            Say(tr("Not written: %1 bytes is too long; a value holds at most %2 bytes.")
                    .arg(value.size())
                    .arg(gateway::kMaxValueSize));
            return;
        case ValueCheck::kOk:
            break;
    }
    SetStatus(RowOf(*point), tr("writing..."));
    link_.Write(*point, QByteArray(reinterpret_cast<const char*>(value.data()),
                                   static_cast<qsizetype>(value.size())));
}

void PointsWindow::WatchTick() {
    // A round still under way (a slow line, a modem) is not piled upon.
    if (link_.Pending() > 0) return;
    for (int row = 0; row < table_->rowCount(); ++row) {
        if (table_->item(row, kWatchColumn)->checkState() == Qt::Checked)
            link_.Read(static_cast<std::uint16_t>(
                table_->item(row, kPointColumn)->data(Qt::UserRole).toUInt()));
    }
}

void PointsWindow::UpdateWatchTimer() {
    bool any = false;
    for (int row = 0; row < table_->rowCount() && !any; ++row)
        any = table_->item(row, kWatchColumn)->checkState() == Qt::Checked;
    watchTimer_.setInterval(intervalBox_->value() * 1000);
    if (!any) {
        watchTimer_.stop();
    } else if (!watchTimer_.isActive()) {
        watchTimer_.start();
    }
}

void PointsWindow::OnState(GatewayLink::State state, const QString& text) {
    connectionLabel_->Show(text);
    // Lost, connecting again, connected again: what was said before no longer holds.
    if (linkState_ != state) Unsay();
    linkState_ = state;
    const bool connected = state == GatewayLink::State::kConnected;
    // On every new connection the table is read afresh.
    if (connected && !connected_) {
        connected_ = true;
        ReadAll();
    }
    connected_ = connected;
}

void PointsWindow::OnAnswered(quint16 code, quint16 point, bool ok, const QByteArray& data,
                              const QString& reason) {
    const int row = RowOf(point);
    if (row < 0) return;  // removed while the request was under way
    const QString time = QTime::currentTime().toString("HH:mm:ss");
    if (!ok) {
        SayRefused(row, point, code == gateway::kSnvtWrite, reason);
        return;
    }
    if (code == gateway::kSnvtWrite) {
        SetStatus(row, tr("written %1").arg(time));
        Say(tr("Point %1 written; reading it back.").arg(PointQText(point)), point);
        ReadPoint(point);
        return;
    }
    ShowValue(row, data);
    SetStatus(row, tr("OK %1").arg(time));
    Unsay(point);
}

// The gateway's reason in its own words; without one, what an ERROR may mean.
void PointsWindow::SayRefused(int row, std::uint16_t point, bool write, const QString& reason) {
    const QString number = PointQText(point);
    if (!reason.isEmpty()) {
        SetStatus(row, (write ? tr("ERROR: not written: %1") : tr("ERROR: %1")).arg(reason));
        Say((write ? tr("Point %1: the write answered ERROR: %2") : tr("Point %1: ERROR: %2"))
                .arg(number, reason),
            point);
    } else if (write) {
        SetStatus(row, tr("ERROR: not written"));
        Say(tr("Point %1: the write answered ERROR: the controller refused the value or did not "
               "answer.")
                .arg(number),
            point);
    } else {
        SetStatus(row, tr("ERROR"));
        Say(tr("Point %1: ERROR: the controller did not answer, or it does not know this point.")
                .arg(number),
            point);
    }
}

void PointsWindow::OnFailed(quint16, quint16 point, const QString& reason) {
    SetStatus(RowOf(point), tr("not done: %1").arg(reason));
    Unsay(point);
}

void PointsWindow::ShowValue(int row, const QByteArray& data) {
    const Bytes bytes(data.begin(), data.end());
    const ValueViews views = DescribeValue(bytes);
    QTableWidgetItem* hexItem = table_->item(row, kHexColumn);
    const QVariant before = hexItem->data(kValueRole);
    const bool changed = before.isValid() && before.toByteArray() != data;
    hexItem->setData(kValueRole, data);
    hexItem->setText(QString::fromStdString(views.hex));
    table_->item(row, kUnsignedColumn)
        ->setText(views.unsignedValue ? QString::number(*views.unsignedValue) : QString());
    table_->item(row, kSignedColumn)
        ->setText(views.signedValue ? QString::number(*views.signedValue) : QString());
    table_->item(row, kTextColumn)
        ->setText(views.text ? QString::fromLatin1(views.text->c_str()) : QString());
    for (int column : {kHexColumn, kUnsignedColumn, kSignedColumn, kTextColumn}) {
        table_->item(row, column)->setBackground(changed ? QBrush(kChangedColour) : QBrush());
    }
    const auto point =
        static_cast<std::uint16_t>(table_->item(row, kPointColumn)->data(Qt::UserRole).toUInt());
    if (views.unsignedValue) {
        chart_->AddSample(point, QDateTime::currentDateTime(),
                          static_cast<double>(*views.unsignedValue));
    }
}

void PointsWindow::SetStatus(int row, const QString& text) {
    if (row >= 0) table_->item(row, kStatusColumn)->setText(text);
}

void PointsWindow::Say(const QString& text, std::optional<std::uint16_t> point) {
    messageLabel_->Show(text);
    messagePoint_ = point;
}

void PointsWindow::Unsay(std::optional<std::uint16_t> point) {
    if (point && point != messagePoint_) return;
    messageLabel_->Show({});
    messagePoint_.reset();
}

bool PointsWindow::LoadList(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Say(tr("The list %1 cannot be read: %2").arg(path, file.errorString()));
        return false;
    }
    if (file.size() > kMaxCsvBytes) {
        Say(tr("The list %1 is too large to be a list of points.").arg(path));
        return false;
    }
    const CsvResult result = ReadPointsCsv(file.read(kMaxCsvBytes).toStdString());
    if (result.error != CsvError::kNone) {
        QString why;
        switch (result.error) {
            case CsvError::kBadPoint:
                why = tr("no point number (1 to 4 hexadecimal digits)");
                break;
            case CsvError::kBadWatch:
                why = tr("the watch column is neither 0 nor 1");
                break;
            case CsvError::kDuplicate:
                why = tr("the point is in the list twice");
                break;
            default:
                why = tr("a quotation mark is not closed");
                break;
        }
        Say(tr("The list %1 was not loaded: line %2: %3.").arg(path).arg(result.line).arg(why));
        return false;
    }
    table_->setRowCount(0);
    for (const PointEntry& entry : result.entries)
        AddPoint(entry.point, QString::fromStdString(entry.name), entry.watch);
    listPath_ = path;
    if (table_->rowCount() > 0) table_->setCurrentCell(0, kPointColumn);
    Say(tr("%n point(s) loaded from %1.", nullptr, static_cast<int>(result.entries.size()))
            .arg(path));
    if (connected_) ReadAll();
    return true;
}

bool PointsWindow::SaveList(const QString& path) {
    std::vector<PointEntry> entries;
    for (int row = 0; row < table_->rowCount(); ++row) {
        PointEntry entry;
        entry.point = static_cast<std::uint16_t>(
            table_->item(row, kPointColumn)->data(Qt::UserRole).toUInt());
        entry.name = table_->item(row, kNameColumn)->text().simplified().toStdString();
        entry.watch = table_->item(row, kWatchColumn)->checkState() == Qt::Checked;
        entries.push_back(entry);
    }
    // Written whole or not at all.
    QSaveFile file(path);
    const std::string text = WritePointsCsv(entries);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        Say(tr("The list was not saved to %1: %2").arg(path, file.errorString()));
        return false;
    }
    listPath_ = path;
    Say(tr("The list was saved to %1.").arg(path));
    return true;
}

void PointsWindow::OpenListDialog() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Open a list of points"), listPath_,
                                                      tr("Lists of points (*.csv);;All files (*)"));
    if (!path.isEmpty()) LoadList(path);
}

void PointsWindow::SaveListDialog(bool askName) {
    QString path = listPath_;
    if (askName || path.isEmpty()) {
        path = QFileDialog::getSaveFileName(this, tr("Save the list of points"), listPath_,
                                            tr("Lists of points (*.csv);;All files (*)"));
    }
    if (!path.isEmpty()) SaveList(path);
}

void PointsWindow::closeEvent(QCloseEvent* event) {
    watchTimer_.stop();
    // The window goes at once; the link says DEVICE_DISCONNECT and then lets the program end.
    link_.Close();
    event->accept();
}

}  // namespace points
