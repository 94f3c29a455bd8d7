#include "gui/schedule_editor_window.h"

#include "gui/host_window_parts.h"

#include <QAction>
#include <QCheckBox>
#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace vel {

namespace {

constexpr int FrameWidth = 360;
constexpr int FrameHeight = 180;
constexpr int IconSize = 16;

} // namespace

QImage ScheduleEditorWindow::DayTypeIcon(int number)
{
    // The day type's number, in a one-pixel margin.
    return DrawDayTypeIcon(QSize(IconSize, IconSize), QRect(1, 1, IconSize - 2, IconSize - 2), number,
                           [number](QPainter& p) {
                               QFont f = p.font();
                               f.setPixelSize(9);
                               f.setStyleStrategy(QFont::NoAntialias);
                               p.setFont(f);
                               p.drawText(QRect(0, 0, IconSize, IconSize), Qt::AlignCenter, QString::number(number));
                           });
}

ScheduleEditorWindow::ScheduleEditorWindow(QWidget* parent)
    : QWidget(parent), m_names(std::make_shared<DayTypeNameTable>()), m_bridge(this)
{
    setWindowTitle(QStringLiteral("Time schedule"));
    FillHostTables();
    CreateScheduleFrame();
    CreatePeriodTexts();
    CreatePopupMenu();
    PlaceControls();
    ConnectControls();
    ConnectPopupMenu();

    Report(SetSchedule(std::make_unique<cTimeSchedule>(m_names)));
}

void ScheduleEditorWindow::FillHostTables()
{
    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        if (d < 7) {
            m_names->DayTypeShortNames[d] = WeekdayShortNames[d];
            m_names->DayTypeNames[d] = WeekdayNames[d];
        } else {
            m_names->DayTypeNames[d] = "Day type " + std::to_string(d - 6);
        }
    }
    m_schedule = std::make_unique<cTimeSchedule>(m_names);
    for (int i = 1; i <= 16; ++i) m_ImageList.push_back(DayTypeIcon(i));
}

void ScheduleEditorWindow::CreateScheduleFrame()
{
    // The frame holds the surface and, at its right edge, the scroll bar;
    // the schedule places both through the host members.
    m_Picture_TimeSchedule_Frame = new QFrame(this);
    m_Picture_TimeSchedule_Frame->setObjectName(QStringLiteral("Picture_TimeSchedule_Frame"));
    m_Picture_TimeSchedule_Frame->setFixedSize(FrameWidth, FrameHeight);
    m_Picture_TimeSchedule = new QtDrawingSurface(m_Picture_TimeSchedule_Frame);
    m_Picture_TimeSchedule->setObjectName(QStringLiteral("Picture_TimeSchedule"));
    m_Picture_TimeSchedule->SetBackColor(Grey(240));
    m_VScroll_Schedule = new QScrollBar(Qt::Vertical, m_Picture_TimeSchedule_Frame);
    m_VScroll_Schedule->setObjectName(QStringLiteral("VScroll_Schedule"));
    m_VScroll_Schedule->setGeometry(FrameWidth - 17, 0, 17, FrameHeight);
}

void ScheduleEditorWindow::CreatePeriodTexts()
{
    m_Text_Schedule_Period_Start = new QLineEdit(this);
    m_Text_Schedule_Period_Stop = new QLineEdit(this);
    m_Text_Schedule_Time = new QLineEdit(this);
    m_Text_Schedule_Time->setReadOnly(true);
    for (QLineEdit* e : {m_Text_Schedule_Period_Start, m_Text_Schedule_Period_Stop, m_Text_Schedule_Time})
        e->setMaximumWidth(60);
    m_Check_TimeSchedule_ViewDayType = new QCheckBox(QStringLiteral("View day type"), this);
}

void ScheduleEditorWindow::CreatePopupMenu()
{
    m_Menu_TimeSchedulePopup = new QMenu(this);
    m_Menu_TimeSchedulePopup_Copy = m_Menu_TimeSchedulePopup->addAction(QStringLiteral("Copy"));
    m_Menu_TimeSchedulePopup_Paste = m_Menu_TimeSchedulePopup->addAction(QStringLiteral("Paste"));
    m_Menu_TimeSchedulePopup_Delete = m_Menu_TimeSchedulePopup->addAction(QStringLiteral("Delete"));
    m_Menu_TimeSchedulePopup_00to24 = m_Menu_TimeSchedulePopup->addAction(QStringLiteral("00-24"));
    m_Menu_TimeSchedulePopup->addSeparator();
    m_Menu_TimeSchedulePopup_Grouped = m_Menu_TimeSchedulePopup->addAction(QStringLiteral("Group"));
    m_Menu_TimeSchedulePopup_Grouped->setCheckable(true);
    m_Menu_TimeSchedulePopup_Grouped_MonFri = m_Menu_TimeSchedulePopup->addAction(QStringLiteral("Group Mon-Fri"));
    m_Menu_TimeSchedulePopup_Grouped_MonFri->setCheckable(true);
}

void ScheduleEditorWindow::PlaceControls()
{
    auto* texts = new QHBoxLayout;
    texts->addWidget(new QLabel(QStringLiteral("Start"), this));
    texts->addWidget(m_Text_Schedule_Period_Start);
    texts->addWidget(new QLabel(QStringLiteral("Stop"), this));
    texts->addWidget(m_Text_Schedule_Period_Stop);
    texts->addWidget(new QLabel(QStringLiteral("Time"), this));
    texts->addWidget(m_Text_Schedule_Time);
    texts->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Picture_TimeSchedule_Frame);
    layout->addLayout(texts);
    layout->addWidget(m_Check_TimeSchedule_ViewDayType);
}

void ScheduleEditorWindow::ConnectControls()
{
    connect(m_Picture_TimeSchedule, &QtDrawingSurface::MousePressed, this, &ScheduleEditorWindow::OnPress);
    connect(m_Picture_TimeSchedule, &QtDrawingSurface::MouseMoved, this, &ScheduleEditorWindow::OnMove);
    connect(m_Picture_TimeSchedule, &QtDrawingSurface::MouseReleased, this, &ScheduleEditorWindow::OnRelease);
    connect(m_Text_Schedule_Period_Start, &QLineEdit::editingFinished, this, &ScheduleEditorWindow::OnPeriodTextEdited);
    connect(m_Text_Schedule_Period_Stop, &QLineEdit::editingFinished, this, &ScheduleEditorWindow::OnPeriodTextEdited);
    connect(m_Check_TimeSchedule_ViewDayType, &QCheckBox::toggled, this, [this] { Report(Repaint()); });
    connect(m_VScroll_Schedule, &QScrollBar::valueChanged, this, &ScheduleEditorWindow::OnScroll);
}

void ScheduleEditorWindow::ConnectPopupMenu()
{
    connect(m_Menu_TimeSchedulePopup_Copy, &QAction::triggered, this, [this] { m_schedule->Copy(); });
    connect(m_Menu_TimeSchedulePopup_Paste, &QAction::triggered, this,
            [this] { Report(m_schedule->Paste(m_bridge, m_surfaceVariable)); });
    connect(m_Menu_TimeSchedulePopup_Delete, &QAction::triggered, this,
            [this] { Report(m_schedule->Delete(m_bridge, m_surfaceVariable)); });
    connect(m_Menu_TimeSchedulePopup_00to24, &QAction::triggered, this,
            [this] { Report(m_schedule->SetTimeFrom00to24(m_bridge, m_surfaceVariable)); });
    connect(m_Menu_TimeSchedulePopup_Grouped, &QAction::triggered, this,
            [this] { Report(m_schedule->Group(m_bridge, m_surfaceVariable)); });
    // The check mark is the schedule's to read: undo the toggle the click made.
    connect(m_Menu_TimeSchedulePopup_Grouped_MonFri, &QAction::triggered, this, [this](bool checked) {
        m_Menu_TimeSchedulePopup_Grouped_MonFri->setChecked(!checked);
        Report(m_schedule->GroupMonFri(m_bridge, m_surfaceVariable));
    });
}

ScheduleEditorWindow::~ScheduleEditorWindow() = default;

void ScheduleEditorWindow::Report(const Status& status)
{
    if (status.ok()) return;
    m_lastError = QString::fromStdString(status.error().message);
    std::fprintf(stderr, "VelScheduleEditor: %s\n", status.error().message.c_str());
}

Status ScheduleEditorWindow::SetSchedule(std::unique_ptr<cTimeSchedule> schedule)
{
    m_schedule = std::move(schedule);
    VEL_TRY(m_schedule->RecalculateAndPrepareToPaint(m_bridge, m_surfaceVariable, m_Picture_TimeSchedule));
    return Repaint();
}

Status ScheduleEditorWindow::Repaint()
{
    if (m_surfaceVariable != nullptr) m_surfaceVariable->Clear();
    return m_schedule->Paint(m_bridge, m_surfaceVariable);
}

Status ScheduleEditorWindow::Press(float x, float y)
{
    VEL_TRY(m_schedule->MouseDown(m_bridge, m_surfaceVariable, 1, 0, x, y));
    return m_schedule->MouseUp(m_bridge, m_surfaceVariable, 1, 0, x, y);
}

void ScheduleEditorWindow::OnPress(int button, int shift, float x, float y)
{
    Report(m_schedule->MouseDown(m_bridge, m_surfaceVariable, static_cast<std::int16_t>(button),
                                 static_cast<std::int16_t>(shift), x, y));
    // The press has selected the day type and prepared the menu.
    if (button == 2 && m_schedule->SelectedDayType() >= 0) m_Menu_TimeSchedulePopup->popup(QCursor::pos());
}

void ScheduleEditorWindow::OnMove(int button, int shift, float x, float y)
{
    Report(m_schedule->MouseMove(m_bridge, m_surfaceVariable, static_cast<std::int16_t>(button),
                                 static_cast<std::int16_t>(shift), x, y));
}

void ScheduleEditorWindow::OnRelease(int button, int shift, float x, float y)
{
    Report(m_schedule->MouseUp(m_bridge, m_surfaceVariable, static_cast<std::int16_t>(button),
                               static_cast<std::int16_t>(shift), x, y));
}

void ScheduleEditorWindow::OnPeriodTextEdited()
{
    Report(m_schedule->ExtractTimeFromTextboxes(m_bridge, m_surfaceVariable));
}

void ScheduleEditorWindow::OnScroll(int value)
{
    // A quarter axis per unit.
    m_Picture_TimeSchedule->move(m_Picture_TimeSchedule->x(), -value * 25 / 4);
}

// --- host members ------------------------------------------------------------------

void ScheduleEditorWindow::Set_Text_Schedule_Time(const QString& text)
{
    m_Text_Schedule_Time->setText(text);
}

void ScheduleEditorWindow::Set_Text_Schedule_Period_Start(const QString& text)
{
    m_Text_Schedule_Period_Start->setText(text);
}

void ScheduleEditorWindow::Set_Text_Schedule_Period_Stop(const QString& text)
{
    m_Text_Schedule_Period_Stop->setText(text);
}

QString ScheduleEditorWindow::Get_Text_Schedule_Period_Start()
{
    return m_Text_Schedule_Period_Start->text();
}

QString ScheduleEditorWindow::Get_Text_Schedule_Period_Stop()
{
    return m_Text_Schedule_Period_Stop->text();
}

void ScheduleEditorWindow::Set_Menu_TimeSchedulePopup_Grouped_MonFri_Checked(int& checked)
{
    m_Menu_TimeSchedulePopup_Grouped_MonFri->setChecked(checked != 0);
}

bool ScheduleEditorWindow::Get_Menu_TimeSchedulePopup_Grouped_MonFri_Checked()
{
    return m_Menu_TimeSchedulePopup_Grouped_MonFri->isChecked();
}

void ScheduleEditorWindow::Set_Menu_TimeSchedulePopup_Grouped_Checked(short& checked)
{
    m_Menu_TimeSchedulePopup_Grouped->setChecked(checked != 0);
}

void ScheduleEditorWindow::Set_Menu_TimeSchedulePopup_Paste_Enabled(bool enabled)
{
    m_Menu_TimeSchedulePopup_Paste->setEnabled(enabled);
}

void ScheduleEditorWindow::Set_Menu_TimeSchedulePopup_Delete_Enabled(bool enabled)
{
    m_Menu_TimeSchedulePopup_Delete->setEnabled(enabled);
}

int ScheduleEditorWindow::Get_ImageList_ImageHeight()
{
    return IconSize;
}

int ScheduleEditorWindow::Get_ImageList_ImageWidth()
{
    return IconSize;
}

void ScheduleEditorWindow::Draw_ImageList_ListImages(int icon, int deviceContext, int x, int& y)
{
    QtDrawingSurface* surface = QtDrawingSurface::FromDeviceContext(deviceContext);
    if (surface == nullptr || icon < 1 || icon > static_cast<int>(m_ImageList.size())) return;
    surface->DrawImage(x, y, m_ImageList[static_cast<std::size_t>(icon - 1)]);
}

void ScheduleEditorWindow::Draw_ImageList_ListImages(short icon, int deviceContext, double x, int y, int /*style*/)
{
    int top = y;
    Draw_ImageList_ListImages(icon, deviceContext, static_cast<int>(x), top);
}

bool ScheduleEditorWindow::Get_Check_TimeSchedule_ViewDayType()
{
    return m_Check_TimeSchedule_ViewDayType->isChecked();
}

void ScheduleEditorWindow::Set_VScroll_Schedule_Top(short top)
{
    m_VScroll_Schedule->move(m_VScroll_Schedule->x(), top);
}

int ScheduleEditorWindow::Get_Picture_TimeSchedule_Frame_ScaleWidth()
{
    return m_Picture_TimeSchedule_Frame->contentsRect().width();
}

int ScheduleEditorWindow::Get_VScroll_Schedule_Width()
{
    return m_VScroll_Schedule->width();
}

void ScheduleEditorWindow::Set_VScroll_Schedule_Left(double left)
{
    m_VScroll_Schedule->move(static_cast<int>(left), m_VScroll_Schedule->y());
}

int ScheduleEditorWindow::Get_Picture_TimeSchedule_Frame_ScaleHeight()
{
    return m_Picture_TimeSchedule_Frame->contentsRect().height();
}

void ScheduleEditorWindow::Set_VScroll_Schedule_Height(double height)
{
    m_VScroll_Schedule->resize(m_VScroll_Schedule->width(), static_cast<int>(height));
}

void ScheduleEditorWindow::Set_VScroll_Schedule_Max(short max)
{
    // Fewer than seven axes give a negative maximum: nothing to scroll.
    m_VScroll_Schedule->setRange(0, std::max<int>(0, max));
    m_VScroll_Schedule->setEnabled(max > 0);
}

void ScheduleEditorWindow::Set_Picture_TimeSchedule_Left(short left)
{
    m_Picture_TimeSchedule->move(left, m_Picture_TimeSchedule->y());
}

void ScheduleEditorWindow::Set_Picture_TimeSchedule_Top(short top)
{
    m_Picture_TimeSchedule->move(m_Picture_TimeSchedule->x(), top);
}

int ScheduleEditorWindow::Get_VScroll_Schedule_Left()
{
    return m_VScroll_Schedule->x();
}

void ScheduleEditorWindow::Set_Picture_TimeSchedule_Width(double width)
{
    m_Picture_TimeSchedule->resize(static_cast<int>(width), m_Picture_TimeSchedule->height());
}

void ScheduleEditorWindow::Set_Picture_TimeSchedule_Height(int height)
{
    m_Picture_TimeSchedule->resize(m_Picture_TimeSchedule->width(), height);
}

} // namespace vel
