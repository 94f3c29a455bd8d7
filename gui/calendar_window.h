#pragma once

// A host window of the calendar month view: it owns the controls whose
// members the calendar calls by name (the month heading, the day-type combo
// box, the image list of 16 day-type icons) and the drawing surface, plus
// month navigation, a "show time axis" check box and a Save button, and
// passes its host container and its surface on every call of the calendar's
// view operations. Like a suite host it fills the suite texts of the weekday
// headings (611 to 617) and the short day-type names itself.

#include "base/texts.h"
#include "calendar/calendar.h"
#include "calendar/holiday_tables.h"
#include "gui/qt_drawing_surface.h"
#include "gui/qt_host_bridge.h"
#include "schedule/time_schedule.h"
#include "views/day_type_names.h"

#include <QImage>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace vel {

class CalendarWindow : public QWidget {
    Q_OBJECT

public:
    explicit CalendarWindow(QWidget* parent = nullptr);
    ~CalendarWindow() override;

    // The calendar file the Save button writes. When the file exists it is
    // read; a missing file starts an empty calendar. Errors reading an
    // existing file are reported and leave the calendar unchanged.
    Status OpenCalendar(const std::string& path);
    // The schedule whose periods the time bars show (taken over), or none.
    void SetSchedule(std::unique_ptr<cTimeSchedule> schedule);
    // Today's date as a day index instead of the system date.
    void SetToday(std::optional<std::int32_t> dayIndex);
    void SetShowTimeAxis(bool show);
    // Shows a month of 2000-01 to 2039-12: recalculates, clears and paints.
    Status ShowMonth(std::int32_t year, std::int32_t month);
    Status ShowPreviousMonth();
    Status ShowNextMonth();
    Status Save();

    cCalendar& Calendar() { return m_calendar; }
    QtDrawingSurface& Surface() { return *m_Picture_Calendar; }
    HostContainer& Host() { return m_bridge; }
    HolidayTables& Holidays() { return *m_holidays; }
    QComboBox& DayTypeCombo() { return *m_Combo_Calendar_DayType; }
    QString MonthHeading() const;
    // The last failure reported by a view operation, or empty.
    const QString& LastError() const { return m_lastError; }

    // --- host members called by name by the calendar ----------------------------
    Q_INVOKABLE void Set_Text_Calendar_Month(const QString& text);
    // The selected combo item's text, or none (an invalid QVariant).
    Q_INVOKABLE QVariant Get_Combo_Calendar_DayType_SelectedItem();
    // 1-based number of the selected item; 0 when none is selected.
    Q_INVOKABLE int Get_Combo_Calendar_DayType_SelectedItem_Index();
    // Text of item n (1-based), or none for a number outside the list.
    Q_INVOKABLE QVariant Get_Combo_Calendar_DayType_ComboItems(short item);
    // Draws icon 1..16 of the image list at (x, y) on the surface with that
    // device context; the fifth value is the drawing style (1 normal).
    Q_INVOKABLE void Draw_ImageList_ListImages(short icon, int deviceContext, double x, int y, int style);

    // The day-type icons of the image list (1..16); they fit the right part of
    // a day box beside the day number.
    static QImage DayTypeIcon(int number);
    static constexpr int IconWidth = 9;
    static constexpr int IconHeight = 9;

private:
    // The parts of the constructor, in the order it runs them: the suite
    // texts, names and icons a suite host would supply, then the controls.
    void FillHostTables();
    void CreateControls();
    void CreateDayTypeCombo();
    void CreateSurface();
    void PlaceControls();
    void ConnectControls();

    void Report(const Status& status);
    Status Repaint();
    void UpdateNavigation();
    void OnPress(int button, int shift, float x, float y);
    void OnMove(int button, int shift, float x, float y);
    void OnRelease(int button, int shift, float x, float y);

    std::shared_ptr<SuiteTexts> m_texts;
    std::shared_ptr<DayTypeNameTable> m_names;
    std::shared_ptr<HolidayTables> m_holidays;
    cCalendar m_calendar;
    std::unique_ptr<cTimeSchedule> m_schedule;
    QtHostBridge m_bridge;
    std::string m_calendarFile;
    QString m_lastError;
    std::vector<QImage> m_ImageList;

    QLabel* m_Label_Calendar_Month = nullptr;
    QPushButton* m_Command_Calendar_Previous = nullptr;
    QPushButton* m_Command_Calendar_Next = nullptr;
    QComboBox* m_Combo_Calendar_DayType = nullptr;
    QCheckBox* m_Check_Calendar_ShowTimeAxis = nullptr;
    QtDrawingSurface* m_Picture_Calendar = nullptr;
    QPushButton* m_Command_Calendar_Save = nullptr;
    QLabel* m_Label_Calendar_Status = nullptr;
};

} // namespace vel
