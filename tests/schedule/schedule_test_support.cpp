#include "tests/schedule/schedule_test_support.h"

namespace vel::test {

void RecordingHost::AcceptEditorMembers()
{
    for (const char* m :
         {"Set_Text_Schedule_Time", "Set_Text_Schedule_Period_Start", "Set_Text_Schedule_Period_Stop",
          "Set_Menu_TimeSchedulePopup_Grouped_MonFri_Checked", "Set_Menu_TimeSchedulePopup_Grouped_Checked",
          "Set_Menu_TimeSchedulePopup_Paste_Enabled", "Set_Menu_TimeSchedulePopup_Delete_Enabled",
          "Draw_ImageList_ListImages", "Set_VScroll_Schedule_Top", "Set_VScroll_Schedule_Left",
          "Set_VScroll_Schedule_Height", "Set_VScroll_Schedule_Max", "Set_Picture_TimeSchedule_Left",
          "Set_Picture_TimeSchedule_Top", "Set_Picture_TimeSchedule_Width", "Set_Picture_TimeSchedule_Height"})
        Accept(m);
    Answer("Get_Menu_TimeSchedulePopup_Grouped_MonFri_Checked", HostValue{false});
    Answer("Get_ImageList_ImageHeight", HostValue{std::int32_t{16}});
    Answer("Get_ImageList_ImageWidth", HostValue{std::int32_t{16}});
    Answer("Get_Check_TimeSchedule_ViewDayType", HostValue{false});
    Answer("Get_Picture_TimeSchedule_Frame_ScaleWidth", HostValue{std::int32_t{400}});
    Answer("Get_Picture_TimeSchedule_Frame_ScaleHeight", HostValue{std::int32_t{200}});
    Answer("Get_VScroll_Schedule_Width", HostValue{std::int32_t{17}});
    Answer("Get_VScroll_Schedule_Left", HostValue{std::int32_t{383}});
    Handle("Get_Text_Schedule_Period_Start",
           [this](std::span<HostValue>) { return HostValue{texts["Set_Text_Schedule_Period_Start"]}; });
    Handle("Get_Text_Schedule_Period_Stop",
           [this](std::span<HostValue>) { return HostValue{texts["Set_Text_Schedule_Period_Stop"]}; });
}

Result<HostValue> RecordingHost::Call(std::string_view member, std::span<HostValue> args)
{
    calls.push_back(HostCall{std::string(member), std::vector<HostValue>(args.begin(), args.end())});
    auto it = m_members.find(member);
    if (it == m_members.end()) return MakeError(ErrorCode::MissingMember, "host has no member " + std::string(member));
    if (member.starts_with("Set_Text_") && args.size() == 1)
        if (const auto* s = std::get_if<std::string>(&args[0])) texts[std::string(member)] = *s;
    return it->second(args);
}

std::vector<HostCall> RecordingHost::CallsTo(const std::string& member) const
{
    std::vector<HostCall> out;
    for (const auto& c : calls)
        if (c.member == member) out.push_back(c);
    return out;
}

std::vector<std::string> RecordingHost::MemberOrder() const
{
    std::vector<std::string> out;
    for (const auto& c : calls) out.push_back(c.member);
    return out;
}

void RecordingSurface::DrawLine(double x1, double y1, double x2, double y2, Rgb colour)
{
    lines.push_back(LineOp{x1, y1, x2, y2, colour});
    m_x = x2;
    m_y = y2;
}

void RecordingSurface::FillBox(double x, double y, double width, double height, Rgb colour)
{
    for (int j = 0; j < static_cast<int>(height); ++j) lines.push_back(LineOp{x, y + j, x + width, y + j, colour});
    m_x = x + width;
    m_y = y + height;
}

void RecordingSurface::Clear()
{
    Reset();
    m_x = m_y = 0;
}

void RecordingSurface::Print(const AnsiText& text)
{
    prints.push_back(PrintOp{m_x, m_y, text});
    m_x += TextWidth(text);
}

std::vector<LineOp> RecordingSurface::HorizontalAt(double y) const
{
    std::vector<LineOp> out;
    for (const auto& l : lines)
        if (l.y1 == y && l.y2 == y && l.x1 != l.x2) out.push_back(l);
    return out;
}

std::vector<LineOp> RecordingSurface::VerticalFrom(double x, double y) const
{
    std::vector<LineOp> out;
    for (const auto& l : lines)
        if (l.x1 == x && l.x2 == x && l.y1 == y && l.y2 > y) out.push_back(l);
    return out;
}

} // namespace vel::test
