// Template 101, the port-selection dialog. Template 103 is in
// command_dialog_layout.cpp.
#include "shell/layout_tables.h"

#include <iterator>

namespace tessaril::shell {

namespace {

using platform::ControlKind;
using platform::ControlSpec;
namespace p = platform;

// A 211 x 101 dialog: a group box around the port number, ENTER below it.
const ControlSpec port_controls[] = {
    {IDC_ENTER, ControlKind::Button, "ENTER", 80, 65, 50, 14, p::BS_DEFPUSHBUTTON | p::WS_TABSTOP, true, false},
    {IDC_STATIC, ControlKind::GroupBox, "Serial Port Number Setting", 15, 7, 184, 47, p::BS_GROUPBOX, true, false},
    {IDC_STATIC, ControlKind::Static, "Serial Port Number  COM", 33, 27, 76, 12, p::SS_LEFT, true, false},
    {IDC_PORT_NUMBER, ControlKind::Edit, "", 113, 25, 13, 12, p::WS_BORDER | p::WS_TABSTOP | p::ES_AUTOHSCROLL, true,
     false},
};

}  // namespace

const platform::DialogTemplate port_dialog_template{
    IDD_PORT_DIALOG, "Tessaril Program V 3.0.8", 0, 0, 211, 101, port_controls, std::size(port_controls),
};

}  // namespace tessaril::shell
