#include "gui/calendar_window.h"

#include "gui/host_window_parts.h"

#include "calendar/calendar_edit.h"
#include "calendar/view_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

namespace vel {

namespace {

// The grid ends at x = 311 (the last white line) and y = 171.
constexpr int SurfaceWidth = 320;
constexpr int SurfaceHeight = 176;

} // namespace

QImage CalendarWindow::DayTypeIcon(int number)
{
    const QSize size(IconWidth, IconHeight);
    // Four marks tell the icons of one colour family apart: none, a dot, a
    // bar, a cross.
    return DrawDayTypeIcon(size, QRect(QPoint(0, 0), size), number, [number](QPainter& p) {
        switch ((number - 1) % 4) {
        case 1:
            p.drawPoint(4, 4);
            break;
        case 2:
            p.drawLine(2, 4, 6, 4);
            break;
        case 3:
            p.drawLine(2, 4, 6, 4);
            p.drawLine(4, 2, 4, 6);
            break;
        default:
            break;
        }
    });
}

CalendarWindow::CalendarWindow(QWidget* parent)
    : QWidget(parent), m_texts(std::make_shared<SuiteTexts>()), m_names(std::make_shared<DayTypeNameTable>()),
      m_holidays(std::make_shared<HolidayTables>()), m_bridge(this)
{
    setWindowTitle(QStringLiteral("Calendar"));
    FillHostTables();
    CreateControls();
    PlaceControls();
    ConnectControls();

    const YearMonth first = FirstMonthToShow(CalendarViewOptions{}, TodaysDayIndex());
    Report(ShowMonth(first.year, first.month));
}

void CalendarWindow::FillHostTables()
{
    // What a suite host supplies: the weekday headings and the short names.
    for (int j = 0; j < 7; ++j) m_texts->Add(611 + j, WeekdayNames[j]);
    for (std::size_t d = 0; d < 7; ++d) {
        m_names->DayTypeShortNames[d] = WeekdayShortNames[d];
        m_names->DayTypeNames[d] = WeekdayNames[d];
    }
    for (std::size_t d = 7; d < DayTypeCount; ++d) m_names->DayTypeNames[d] = "Special day " + std::to_string(d - 6);
    m_calendar.UseViewTables(CalendarViewTables{m_holidays, m_texts, m_names});
    for (int i = 1; i <= 16; ++i) m_ImageList.push_back(DayTypeIcon(i));
}

// Tab passes the controls in the order they are created here.
void CalendarWindow::CreateControls()
{
    m_Command_Calendar_Previous = new QPushButton(QStringLiteral("<"), this);
    m_Command_Calendar_Next = new QPushButton(QStringLiteral(">"), this);
    for (QPushButton* b : {m_Command_Calendar_Previous, m_Command_Calendar_Next}) b->setFixedWidth(32);
    m_Label_Calendar_Month = new QLabel(this);
    m_Label_Calendar_Month->setAlignment(Qt::AlignCenter);
    QFont headingFont = m_Label_Calendar_Month->font();
    headingFont.setBold(true);
    m_Label_Calendar_Month->setFont(headingFont);

    CreateDayTypeCombo();
    m_Check_Calendar_ShowTimeAxis = new QCheckBox(QStringLiteral("show time axis"), this);
    CreateSurface();

    m_Command_Calendar_Save = new QPushButton(QStringLiteral("Save"), this);
    m_Command_Calendar_Save->setEnabled(false);
    m_Label_Calendar_Status = new QLabel(this);
}

void CalendarWindow::CreateDayTypeCombo()
{
    // Item 1 "no entry", then the 23 day types; item n stores day type n - 1.
    m_Combo_Calendar_DayType = new QComboBox(this);
    m_Combo_Calendar_DayType->addItem(QStringLiteral("no entry"));
    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        const QString name = QString::fromStdString(m_names->DayTypeNames[d]);
        if (d < 7)
            m_Combo_Calendar_DayType->addItem(name);
        else
            m_Combo_Calendar_DayType->addItem(QIcon(QPixmap::fromImage(m_ImageList[d - 7])), name);
    }
    m_Combo_Calendar_DayType->setPlaceholderText(QStringLiteral("Day type to paint"));
    m_Combo_Calendar_DayType->setCurrentIndex(-1);
}

void CalendarWindow::CreateSurface()
{
    m_Picture_Calendar = new QtDrawingSurface(this);
    m_Picture_Calendar->setObjectName(QStringLiteral("Picture_Calendar"));
    m_Picture_Calendar->setFixedSize(SurfaceWidth, SurfaceHeight);
    QFont surfaceFont = m_Picture_Calendar->font();
    surfaceFont.setPixelSize(11);
    m_Picture_Calendar->SetTextFont(surfaceFont);
    m_Picture_Calendar->SetBackColor(Grey(240));
    m_Picture_Calendar->SetForeColor(RgbBlack);
    m_Picture_Calendar->Clear();
}

void CalendarWindow::PlaceControls()
{
    auto* navigation = new QHBoxLayout;
    navigation->addWidget(m_Command_Calendar_Previous);
    navigation->addWidget(m_Label_Calendar_Month, 1);
    navigation->addWidget(m_Command_Calendar_Next);
    auto* tools = new QHBoxLayout;
    tools->addWidget(m_Combo_Calendar_DayType, 1);
    tools->addWidget(m_Check_Calendar_ShowTimeAxis);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_Label_Calendar_Status, 1);
    bottom->addWidget(m_Command_Calendar_Save);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(navigation);
    layout->addLayout(tools);
    layout->addWidget(m_Picture_Calendar, 0, Qt::AlignHCenter);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CalendarWindow::ConnectControls()
{
    connect(m_Picture_Calendar, &QtDrawingSurface::MousePressed, this, &CalendarWindow::OnPress);
    connect(m_Picture_Calendar, &QtDrawingSurface::MouseMoved, this, &CalendarWindow::OnMove);
    connect(m_Picture_Calendar, &QtDrawingSurface::MouseReleased, this, &CalendarWindow::OnRelease);
    connect(m_Command_Calendar_Previous, &QPushButton::clicked, this, [this] { Report(ShowPreviousMonth()); });
    connect(m_Command_Calendar_Next, &QPushButton::clicked, this, [this] { Report(ShowNextMonth()); });
    connect(m_Check_Calendar_ShowTimeAxis, &QCheckBox::toggled, this, [this](bool on) {
        m_calendar.m_ShowTimeAxis = on ? -1 : 0;
        Report(Repaint());
    });
    connect(m_Command_Calendar_Save, &QPushButton::clicked, this, [this] { Report(Save()); });
}

CalendarWindow::~CalendarWindow()
{
    // The calendar must not keep the schedule it is about to lose.
    m_calendar.m_AssociatedTimeSchedule = nullptr;
}

void CalendarWindow::Report(const Status& status)
{
    if (status.ok()) return;
    m_lastError = QString::fromStdString(status.error().message);
    m_Label_Calendar_Status->setText(m_lastError);
    std::fprintf(stderr, "VelCalendarView: %s\n", status.error().message.c_str());
}

Status CalendarWindow::OpenCalendar(const std::string& path)
{
    VEL_TRY_ASSIGN(const bool read, ReadCalendarFile(m_calendar, RealFileSystem(), path));
    m_calendarFile = path;
    m_Command_Calendar_Save->setEnabled(true);
    m_Label_Calendar_Status->setText(read ? QStringLiteral("Read %1").arg(QString::fromStdString(path))
                                          : QStringLiteral("New calendar %1").arg(QString::fromStdString(path)));
    setWindowTitle(QStringLiteral("Calendar - %1").arg(QString::fromStdString(path)));
    return Repaint();
}

void CalendarWindow::SetSchedule(std::unique_ptr<cTimeSchedule> schedule)
{
    m_calendar.m_AssociatedTimeSchedule = schedule.get();
    m_schedule = std::move(schedule);
    Report(Repaint());
}

void CalendarWindow::SetToday(std::optional<std::int32_t> dayIndex)
{
    m_calendar.SetTodayOverride(dayIndex);
    Report(ShowMonth(m_calendar.m_SelectedYear, m_calendar.m_SelectedMonth));
}

void CalendarWindow::SetShowTimeAxis(bool show)
{
    // The check box's handler sets the calendar's flag and repaints.
    m_Check_Calendar_ShowTimeAxis->setChecked(show);
    m_calendar.m_ShowTimeAxis = show ? -1 : 0;
}

Status CalendarWindow::ShowMonth(std::int32_t year, std::int32_t month)
{
    if (!MonthInCalendar(year, month))
        return MakeError(ErrorCode::InvalidArgument, "the calendar holds the months 2000-01 to 2039-12 only");
    m_calendar.m_SelectedYear = year;
    m_calendar.m_SelectedMonth = month;
    m_calendar.RecalculateAndPrepareToPaint(&m_bridge, m_Picture_Calendar);
    UpdateNavigation();
    return Repaint();
}

Status CalendarWindow::ShowPreviousMonth()
{
    const std::int32_t month = m_calendar.m_SelectedMonth == 1 ? 12 : m_calendar.m_SelectedMonth - 1;
    const std::int32_t year = m_calendar.m_SelectedMonth == 1 ? m_calendar.m_SelectedYear - 1
                                                              : m_calendar.m_SelectedYear;
    return ShowMonth(year, month);
}

Status CalendarWindow::ShowNextMonth()
{
    const std::int32_t month = m_calendar.m_SelectedMonth == 12 ? 1 : m_calendar.m_SelectedMonth + 1;
    const std::int32_t year = m_calendar.m_SelectedMonth == 12 ? m_calendar.m_SelectedYear + 1
                                                               : m_calendar.m_SelectedYear;
    return ShowMonth(year, month);
}

void CalendarWindow::UpdateNavigation()
{
    const std::int32_t y = m_calendar.m_SelectedYear;
    const std::int32_t m = m_calendar.m_SelectedMonth;
    m_Command_Calendar_Previous->setEnabled(!(y == CalendarFirstYear && m == 1));
    m_Command_Calendar_Next->setEnabled(!(y == CalendarLastYear && m == 12));
}

Status CalendarWindow::Repaint()
{
    m_Picture_Calendar->Clear();
    return m_calendar.Paint(m_bridge, *m_Picture_Calendar);
}

Status CalendarWindow::Save()
{
    if (m_calendarFile.empty())
        return MakeError(ErrorCode::InvalidArgument, "no calendar file was given (--calendar FILE)");
    VEL_TRY(m_calendar.SaveToDisk(m_calendarFile));
    m_Label_Calendar_Status->setText(QStringLiteral("Saved %1").arg(QString::fromStdString(m_calendarFile)));
    return Status::Ok();
}

QString CalendarWindow::MonthHeading() const
{
    return m_Label_Calendar_Month->text();
}

void CalendarWindow::OnPress(int button, int shift, float x, float y)
{
    Report(m_calendar.MouseDown(m_bridge, *m_Picture_Calendar, static_cast<std::int16_t>(button),
                                static_cast<std::int16_t>(shift), x, y));
}

void CalendarWindow::OnMove(int button, int shift, float x, float y)
{
    m_calendar.MouseMove(m_bridge, *m_Picture_Calendar, static_cast<std::int16_t>(button),
                         static_cast<std::int16_t>(shift), x, y);
}

void CalendarWindow::OnRelease(int button, int shift, float x, float y)
{
    m_calendar.MouseUp(static_cast<std::int16_t>(button), static_cast<std::int16_t>(shift), x, y);
}

// --- host members ------------------------------------------------------------------

void CalendarWindow::Set_Text_Calendar_Month(const QString& text)
{
    m_Label_Calendar_Month->setText(text);
}

QVariant CalendarWindow::Get_Combo_Calendar_DayType_SelectedItem()
{
    const int index = m_Combo_Calendar_DayType->currentIndex();
    if (index < 0) return QVariant();
    return m_Combo_Calendar_DayType->itemText(index);
}

int CalendarWindow::Get_Combo_Calendar_DayType_SelectedItem_Index()
{
    return m_Combo_Calendar_DayType->currentIndex() + 1;
}

QVariant CalendarWindow::Get_Combo_Calendar_DayType_ComboItems(short item)
{
    if (item < 1 || item > m_Combo_Calendar_DayType->count()) return QVariant();
    return m_Combo_Calendar_DayType->itemText(item - 1);
}

void CalendarWindow::Draw_ImageList_ListImages(short icon, int deviceContext, double x, int y, int /*style*/)
{
    QtDrawingSurface* surface = QtDrawingSurface::FromDeviceContext(deviceContext);
    if (surface == nullptr || icon < 1 || icon > static_cast<int>(m_ImageList.size())) return;
    surface->DrawImage(x, y, m_ImageList[static_cast<std::size_t>(icon - 1)]);
}

} // namespace vel
