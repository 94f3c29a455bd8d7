#pragma once

// The host container of a view (vel::HostContainer) for a Qt host window: a
// member the view calls by name is looked up at run time among the methods
// of a QObject through Qt's meta-object system and invoked there.
//
// How a host declares its members: one Q_INVOKABLE method (or public slot)
// per member, named exactly like the member, with one parameter per value the
// view passes:
//
//     class MyHost : public QWidget {
//         Q_OBJECT
//     public:
//         Q_INVOKABLE void Set_Text_Schedule_Period_Start(const QString& text);
//         Q_INVOKABLE QString Get_Text_Schedule_Period_Start();
//         Q_INVOKABLE int Get_VScroll_Schedule_Width();
//         // values the contract passes by reference: a non-const reference
//         Q_INVOKABLE void Set_Menu_TimeSchedulePopup_Grouped_Checked(short& flag);
//         // a member called with several argument counts: one overload each
//         Q_INVOKABLE void Draw_ImageList_ListImages(int icon, int dc, int x, int& y);
//         Q_INVOKABLE void Draw_ImageList_ListImages(short icon, int dc, double x, int y, int flags);
//         // a value that may be none: return an invalid QVariant for none
//         Q_INVOKABLE QVariant Get_Combo_Calendar_DayType_SelectedItem();
//     };
//
// Parameter and result types may be bool, the integer types, float, double,
// QString or QVariant; the view's values are converted to the parameter's
// type (texts from the suite's code page, Windows-1252, to QString and back).
// A method is chosen by name and number of parameters; among overloads with
// the same count the first whose parameters take the values wins. A value
// passed to a non-const reference parameter is handed back to the view after
// the call, converted to its original kind. Results: void gives no value,
// bool a flag, integers a number, QString a text, an invalid QVariant none.
//
// Errors: no method of that name and parameter count is
// ErrorCode::MissingMember; values that do not convert, or a result text the
// code page cannot hold, are ErrorCode::InvalidArgument.

#include "views/host_container.h"

#include <QPointer>

class QObject;

namespace vel {

class QtHostBridge : public HostContainer {
public:
    // The bridge does not own the host; a host that is gone is a
    // MissingMember error for every call.
    explicit QtHostBridge(QObject* host);

    using HostContainer::Call;
    Result<HostValue> Call(std::string_view member, std::span<HostValue> args) override;

private:
    QPointer<QObject> m_host;
};

} // namespace vel
