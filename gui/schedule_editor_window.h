#pragma once

// A host window of the schedule editor: it owns the controls whose members
// the schedule calls by name (period texts, time text, popup menu, the "view
// day type" check box, an image list of 16 day-type icons, the frame with the
// scroll bar and the drawing surface) and passes its host container and its
// surface on every call of the schedule's view operations.

#include "gui/qt_drawing_surface.h"
#include "gui/qt_host_bridge.h"
#include "views/day_type_names.h"
#include "schedule/time_schedule.h"

#include <QImage>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollBar;

namespace vel {

class ScheduleEditorWindow : public QWidget {
    Q_OBJECT

public:
    explicit ScheduleEditorWindow(QWidget* parent = nullptr);
    ~ScheduleEditorWindow() override;

    // Shows `schedule` (taken over): recalculates, clears and paints.
    Status SetSchedule(std::unique_ptr<cTimeSchedule> schedule);
    cTimeSchedule& Schedule() { return *m_schedule; }
    QtDrawingSurface& Surface() { return *m_Picture_TimeSchedule; }
    HostContainer& Host() { return m_bridge; }
    // The surface variable the schedule fills in on its first recalculation.
    DrawingSurface* SurfaceVariable() const { return m_surfaceVariable; }

    // A left press and release at a surface point, through the view's mouse
    // operations, as the surface's own mouse events would do it.
    Status Press(float x, float y);
    // The last failure reported by a view operation, or empty.
    const QString& LastError() const { return m_lastError; }

    // --- host members called by name by the schedule --------------------------
    Q_INVOKABLE void Set_Text_Schedule_Time(const QString& text);
    Q_INVOKABLE void Set_Text_Schedule_Period_Start(const QString& text);
    Q_INVOKABLE void Set_Text_Schedule_Period_Stop(const QString& text);
    Q_INVOKABLE QString Get_Text_Schedule_Period_Start();
    Q_INVOKABLE QString Get_Text_Schedule_Period_Stop();
    Q_INVOKABLE void Set_Menu_TimeSchedulePopup_Grouped_MonFri_Checked(int& checked);
    Q_INVOKABLE bool Get_Menu_TimeSchedulePopup_Grouped_MonFri_Checked();
    Q_INVOKABLE void Set_Menu_TimeSchedulePopup_Grouped_Checked(short& checked);
    Q_INVOKABLE void Set_Menu_TimeSchedulePopup_Paste_Enabled(bool enabled);
    Q_INVOKABLE void Set_Menu_TimeSchedulePopup_Delete_Enabled(bool enabled);
    Q_INVOKABLE int Get_ImageList_ImageHeight();
    Q_INVOKABLE int Get_ImageList_ImageWidth();
    // The schedule's form: icon, device context, x, y by reference.
    Q_INVOKABLE void Draw_ImageList_ListImages(int icon, int deviceContext, int x, int& y);
    // The calendar's form: icon, device context, x, y and a style value.
    Q_INVOKABLE void Draw_ImageList_ListImages(short icon, int deviceContext, double x, int y, int style);
    Q_INVOKABLE bool Get_Check_TimeSchedule_ViewDayType();
    Q_INVOKABLE void Set_VScroll_Schedule_Top(short top);
    Q_INVOKABLE int Get_Picture_TimeSchedule_Frame_ScaleWidth();
    Q_INVOKABLE int Get_VScroll_Schedule_Width();
    Q_INVOKABLE void Set_VScroll_Schedule_Left(double left);
    Q_INVOKABLE int Get_Picture_TimeSchedule_Frame_ScaleHeight();
    Q_INVOKABLE void Set_VScroll_Schedule_Height(double height);
    Q_INVOKABLE void Set_VScroll_Schedule_Max(short max);
    Q_INVOKABLE void Set_Picture_TimeSchedule_Left(short left);
    Q_INVOKABLE void Set_Picture_TimeSchedule_Top(short top);
    Q_INVOKABLE int Get_VScroll_Schedule_Left();
    Q_INVOKABLE void Set_Picture_TimeSchedule_Width(double width);
    Q_INVOKABLE void Set_Picture_TimeSchedule_Height(int height);

    // The day-type icons of the image list (1..16).
    static QImage DayTypeIcon(int number);

private:
    // The parts of the constructor, in the order it runs them: the names and
    // icons a suite host would supply (and a first, empty schedule), then the
    // controls. Tab passes the controls in the order they are created.
    void FillHostTables();
    void CreateScheduleFrame();
    void CreatePeriodTexts();
    void CreatePopupMenu();
    void PlaceControls();
    void ConnectControls();
    void ConnectPopupMenu();

    void Report(const Status& status);
    Status Repaint();
    void OnPress(int button, int shift, float x, float y);
    void OnMove(int button, int shift, float x, float y);
    void OnRelease(int button, int shift, float x, float y);
    void OnPeriodTextEdited();
    void OnScroll(int value);

    std::shared_ptr<DayTypeNameTable> m_names;
    std::unique_ptr<cTimeSchedule> m_schedule;
    QtHostBridge m_bridge;
    DrawingSurface* m_surfaceVariable = nullptr;
    QString m_lastError;
    std::vector<QImage> m_ImageList;

    QFrame* m_Picture_TimeSchedule_Frame = nullptr;
    QtDrawingSurface* m_Picture_TimeSchedule = nullptr;
    QScrollBar* m_VScroll_Schedule = nullptr;
    QLineEdit* m_Text_Schedule_Period_Start = nullptr;
    QLineEdit* m_Text_Schedule_Period_Stop = nullptr;
    QLineEdit* m_Text_Schedule_Time = nullptr;
    QCheckBox* m_Check_TimeSchedule_ViewDayType = nullptr;
    QMenu* m_Menu_TimeSchedulePopup = nullptr;
    QAction* m_Menu_TimeSchedulePopup_Copy = nullptr;
    QAction* m_Menu_TimeSchedulePopup_Paste = nullptr;
    QAction* m_Menu_TimeSchedulePopup_Delete = nullptr;
    QAction* m_Menu_TimeSchedulePopup_00to24 = nullptr;
    QAction* m_Menu_TimeSchedulePopup_Grouped = nullptr;
    QAction* m_Menu_TimeSchedulePopup_Grouped_MonFri = nullptr;
};

} // namespace vel
