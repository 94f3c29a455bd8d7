#pragma once

// Host objects whose members the host bridge calls by name.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace vel::test {

class BridgeTestHost : public QObject {
    Q_OBJECT

public:
    QStringList log;
    QString startText = QStringLiteral("08:15");
    bool checked = true;
    bool comboHasItem = false;

    Q_INVOKABLE void Set_Text_Schedule_Period_Start(const QString& text) { log << QStringLiteral("start ") + text; }
    Q_INVOKABLE QString Get_Text_Schedule_Period_Start() { return startText; }
    Q_INVOKABLE int Get_VScroll_Schedule_Width() { return 17; }
    Q_INVOKABLE double Get_Picture_TimeSchedule_Frame_ScaleWidth() { return 400.5; }
    Q_INVOKABLE bool Get_Check_TimeSchedule_ViewDayType() { return checked; }
    Q_INVOKABLE void Set_Menu_TimeSchedulePopup_Grouped_Checked(short& flag)
    {
        log << QStringLiteral("grouped ") + QString::number(flag);
        flag = 1;
    }
    Q_INVOKABLE void Set_Menu_TimeSchedulePopup_Paste_Enabled(bool on)
    {
        log << (on ? QStringLiteral("paste on") : QStringLiteral("paste off"));
    }
    Q_INVOKABLE void Draw_ImageList_ListImages(int icon, int dc, int x, int& y)
    {
        log << QStringLiteral("icon4 %1 %2 %3 %4").arg(icon).arg(dc).arg(x).arg(y);
        y += 1;
    }
    Q_INVOKABLE void Draw_ImageList_ListImages(short icon, int dc, double x, int y, int flags)
    {
        log << QStringLiteral("icon5 %1 %2 %3 %4 %5").arg(icon).arg(dc).arg(x).arg(y).arg(flags);
    }
    Q_INVOKABLE QVariant Get_Combo_Calendar_DayType_SelectedItem()
    {
        return comboHasItem ? QVariant(QStringLiteral("Holiday")) : QVariant();
    }

public Q_SLOTS:
    int Get_Combo_Calendar_DayType_SelectedItem_Index() { return 3; }

Q_SIGNALS:
    void Set_Text_Schedule_Time(const QString& text);
};

} // namespace vel::test
