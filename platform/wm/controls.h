// Standard controls, dialogs, message boxes, menus and accelerators of the window manager (included by
// winuser.h, which it needs: either may be included first).
#pragma once

#include "platform/wm/winuser.h"

// ---- class names ----
#define WC_DIALOG "#32770"
#define PROGRESS_CLASSA "msctls_progress32"
#define RICHEDIT_CLASSA "RichEdit20A"

// ---- notifications shared by controls ----
#define WM_CUT 0x0300
#define WM_COPY 0x0301
#define WM_PASTE 0x0302
#define WM_CLEAR 0x0303
#define WM_UNDO 0x0304
#define WM_COMPAREITEM 0x0039

// ---- static ----
#define SS_LEFT 0x0000u
#define SS_CENTER 0x0001u
#define SS_RIGHT 0x0002u
#define SS_ICON 0x0003u
#define SS_BLACKRECT 0x0004u
#define SS_GRAYRECT 0x0005u
#define SS_WHITERECT 0x0006u
#define SS_BLACKFRAME 0x0007u
#define SS_GRAYFRAME 0x0008u
#define SS_WHITEFRAME 0x0009u
#define SS_SIMPLE 0x000Bu
#define SS_LEFTNOWORDWRAP 0x000Cu
#define SS_OWNERDRAW 0x000Du
#define SS_BITMAP 0x000Eu
#define SS_ETCHEDHORZ 0x0010u
#define SS_ETCHEDVERT 0x0011u
#define SS_ETCHEDFRAME 0x0012u
#define SS_TYPEMASK 0x001Fu
#define SS_NOPREFIX 0x0080u
#define SS_NOTIFY 0x0100u
#define SS_CENTERIMAGE 0x0200u
#define SS_SUNKEN 0x1000u
#define SS_ENDELLIPSIS 0x4000u
#define STM_SETICON 0x0170
#define STM_GETICON 0x0171
#define STM_SETIMAGE 0x0172
#define STM_GETIMAGE 0x0173
#define STN_CLICKED 0
#define STN_DBLCLK 1

// ---- buttons ----
#define BS_PUSHBUTTON 0x0000u
#define BS_DEFPUSHBUTTON 0x0001u
#define BS_CHECKBOX 0x0002u
#define BS_AUTOCHECKBOX 0x0003u
#define BS_RADIOBUTTON 0x0004u
#define BS_3STATE 0x0005u
#define BS_AUTO3STATE 0x0006u
#define BS_GROUPBOX 0x0007u
#define BS_USERBUTTON 0x0008u
#define BS_AUTORADIOBUTTON 0x0009u
#define BS_OWNERDRAW 0x000Bu
#define BS_TYPEMASK 0x000Fu
#define BS_LEFTTEXT 0x0020u
#define BS_ICON 0x0040u
#define BS_BITMAP 0x0080u
#define BS_LEFT 0x0100u
#define BS_RIGHT 0x0200u
#define BS_CENTER 0x0300u
#define BS_TOP 0x0400u
#define BS_BOTTOM 0x0800u
#define BS_VCENTER 0x0C00u
#define BS_PUSHLIKE 0x1000u
#define BS_MULTILINE 0x2000u
#define BS_NOTIFY 0x4000u
#define BS_FLAT 0x8000u
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_SETSTYLE 0x00F4
#define BM_CLICK 0x00F5
#define BM_GETIMAGE 0x00F6
#define BM_SETIMAGE 0x00F7
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BST_INDETERMINATE 0x0002
#define BST_PUSHED 0x0004
#define BST_FOCUS 0x0008
#define BN_CLICKED 0
#define BN_DBLCLK 5
#define BN_SETFOCUS 6
#define BN_KILLFOCUS 7
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1

// ---- edit ----
#define ES_LEFT 0x0000u
#define ES_CENTER 0x0001u
#define ES_RIGHT 0x0002u
#define ES_MULTILINE 0x0004u
#define ES_UPPERCASE 0x0008u
#define ES_LOWERCASE 0x0010u
#define ES_PASSWORD 0x0020u
#define ES_AUTOVSCROLL 0x0040u
#define ES_AUTOHSCROLL 0x0080u
#define ES_NOHIDESEL 0x0100u
#define ES_READONLY 0x0800u
#define ES_WANTRETURN 0x1000u
#define ES_NUMBER 0x2000u
#define EM_GETSEL 0x00B0
#define EM_SETSEL 0x00B1
#define EM_GETRECT 0x00B2
#define EM_SCROLLCARET 0x00B7
#define EM_GETMODIFY 0x00B8
#define EM_SETMODIFY 0x00B9
#define EM_GETLINECOUNT 0x00BA
#define EM_LINEINDEX 0x00BB
#define EM_LINELENGTH 0x00C1
#define EM_REPLACESEL 0x00C2
#define EM_GETLINE 0x00C4
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_CANUNDO 0x00C6
#define EM_UNDO 0x00C7
#define EM_LINEFROMCHAR 0x00C9
#define EM_GETFIRSTVISIBLELINE 0x00CE
#define EM_SETREADONLY 0x00CF
#define EM_SETMARGINS 0x00D3
#define EM_GETMARGINS 0x00D4
#define EM_GETLIMITTEXT 0x00D5
#define EC_LEFTMARGIN 0x0001
#define EC_RIGHTMARGIN 0x0002
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define EN_ERRSPACE 0x0500
#define EN_MAXTEXT 0x0501
#define EN_HSCROLL 0x0601
#define EN_VSCROLL 0x0602

// ---- list box ----
#define LBS_NOTIFY 0x0001u
#define LBS_SORT 0x0002u
#define LBS_NOREDRAW 0x0004u
#define LBS_MULTIPLESEL 0x0008u
#define LBS_OWNERDRAWFIXED 0x0010u
#define LBS_OWNERDRAWVARIABLE 0x0020u
#define LBS_HASSTRINGS 0x0040u
#define LBS_USETABSTOPS 0x0080u
#define LBS_NOINTEGRALHEIGHT 0x0100u
#define LBS_WANTKEYBOARDINPUT 0x0400u
#define LBS_EXTENDEDSEL 0x0800u
#define LBS_DISABLENOSCROLL 0x1000u
#define LBS_NOSEL 0x4000u
#define LBS_STANDARD (LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER)
#define LB_ADDSTRING 0x0180
#define LB_INSERTSTRING 0x0181
#define LB_DELETESTRING 0x0182
#define LB_RESETCONTENT 0x0184
#define LB_SETSEL 0x0185
#define LB_SETCURSEL 0x0186
#define LB_GETSEL 0x0187
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_SELECTSTRING 0x018C
#define LB_GETTOPINDEX 0x018E
#define LB_FINDSTRING 0x018F
#define LB_GETSELCOUNT 0x0190
#define LB_GETSELITEMS 0x0191
#define LB_GETHORIZONTALEXTENT 0x0193
#define LB_SETHORIZONTALEXTENT 0x0194
#define LB_SETTOPINDEX 0x0197
#define LB_GETITEMRECT 0x0198
#define LB_GETITEMDATA 0x0199
#define LB_SETITEMDATA 0x019A
#define LB_SELITEMRANGE 0x019B
#define LB_SETANCHORINDEX 0x019C
#define LB_GETANCHORINDEX 0x019D
#define LB_SETCARETINDEX 0x019E
#define LB_GETCARETINDEX 0x019F
#define LB_SETITEMHEIGHT 0x01A0
#define LB_GETITEMHEIGHT 0x01A1
#define LB_FINDSTRINGEXACT 0x01A2
#define LB_ITEMFROMPOINT 0x01A9
#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)
#define LBN_ERRSPACE (-2)
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2
#define LBN_SELCANCEL 3
#define LBN_SETFOCUS 4
#define LBN_KILLFOCUS 5

// ---- combo box ----
#define CBS_SIMPLE 0x0001u
#define CBS_DROPDOWN 0x0002u
#define CBS_DROPDOWNLIST 0x0003u
#define CBS_OWNERDRAWFIXED 0x0010u
#define CBS_OWNERDRAWVARIABLE 0x0020u
#define CBS_AUTOHSCROLL 0x0040u
#define CBS_SORT 0x0100u
#define CBS_HASSTRINGS 0x0200u
#define CBS_NOINTEGRALHEIGHT 0x0400u
#define CB_GETEDITSEL 0x0140
#define CB_LIMITTEXT 0x0141
#define CB_SETEDITSEL 0x0142
#define CB_ADDSTRING 0x0143
#define CB_DELETESTRING 0x0144
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_INSERTSTRING 0x014A
#define CB_RESETCONTENT 0x014B
#define CB_FINDSTRING 0x014C
#define CB_SELECTSTRING 0x014D
#define CB_SETCURSEL 0x014E
#define CB_SHOWDROPDOWN 0x014F
#define CB_GETITEMDATA 0x0150
#define CB_SETITEMDATA 0x0151
#define CB_GETDROPPEDCONTROLRECT 0x0152
#define CB_SETITEMHEIGHT 0x0153
#define CB_GETITEMHEIGHT 0x0154
#define CB_SETEXTENDEDUI 0x0155
#define CB_GETEXTENDEDUI 0x0156
#define CB_GETDROPPEDSTATE 0x0157
#define CB_FINDSTRINGEXACT 0x0158
#define CB_OKAY 0
#define CB_ERR (-1)
#define CB_ERRSPACE (-2)
#define CBN_ERRSPACE (-1)
#define CBN_SELCHANGE 1
#define CBN_DBLCLK 2
#define CBN_SETFOCUS 3
#define CBN_KILLFOCUS 4
#define CBN_EDITCHANGE 5
#define CBN_EDITUPDATE 6
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8
#define CBN_SELENDOK 9
#define CBN_SELENDCANCEL 10

// ---- rich-text view ----
#define EM_EXGETSEL (WM_USER + 52)
#define EM_EXLIMITTEXT (WM_USER + 53)
#define EM_EXSETSEL (WM_USER + 55)
#define EM_GETCHARFORMAT (WM_USER + 58)
#define EM_GETEVENTMASK (WM_USER + 59)
#define EM_GETSELTEXT (WM_USER + 62)
#define EM_SETCHARFORMAT (WM_USER + 68)
#define EM_SETEVENTMASK (WM_USER + 69)
#define EM_STREAMIN (WM_USER + 73)
#define EM_AUTOURLDETECT (WM_USER + 91)
#define EM_GETAUTOURLDETECT (WM_USER + 92)
#define SF_TEXT 0x0001
#define SF_RTF 0x0002
#define SFF_SELECTION 0x8000
#define SCF_DEFAULT 0x0000
#define SCF_SELECTION 0x0001
#define SCF_ALL 0x0004
#define ENM_NONE 0x00000000u
#define ENM_CHANGE 0x00000001u
#define ENM_UPDATE 0x00000002u
#define ENM_SCROLL 0x00000004u
#define ENM_LINK 0x04000000u
#define EN_LINK 0x070B
#define CFM_BOLD 0x00000001u
#define CFM_ITALIC 0x00000002u
#define CFM_UNDERLINE 0x00000004u
#define CFM_STRIKEOUT 0x00000008u
#define CFM_LINK 0x00000020u
#define CFM_WEIGHT 0x00400000u
#define CFM_CHARSET 0x08000000u
#define CFM_FACE 0x20000000u
#define CFM_COLOR 0x40000000u
#define CFM_SIZE 0x80000000u
#define CFE_BOLD 0x00000001u
#define CFE_ITALIC 0x00000002u
#define CFE_UNDERLINE 0x00000004u
#define CFE_STRIKEOUT 0x00000008u
#define CFE_LINK 0x00000020u
#define CFE_AUTOCOLOR 0x40000000u

struct CHARRANGE {
    LONG cpMin;
    LONG cpMax;
};
// Reads at most `cb` bytes into `buf`, tells how many in *pcb (0 at the end) and answers 0, or an error.
using EDITSTREAMCALLBACK = DWORD (*)(DWORD_PTR cookie, LPBYTE buf, LONG cb, LONG* pcb);
struct EDITSTREAM {
    DWORD_PTR dwCookie;
    DWORD dwError;
    EDITSTREAMCALLBACK pfnCallback;
};
struct CHARFORMATA {
    UINT cbSize;
    DWORD dwMask;
    DWORD dwEffects;
    LONG yHeight;  // twips
    LONG yOffset;
    COLORREF crTextColor;
    BYTE bCharSet;
    BYTE bPitchAndFamily;
    CHAR szFaceName[LF_FACESIZE];
};
struct CHARFORMAT2A {
    UINT cbSize;
    DWORD dwMask;
    DWORD dwEffects;
    LONG yHeight;
    LONG yOffset;
    COLORREF crTextColor;
    BYTE bCharSet;
    BYTE bPitchAndFamily;
    CHAR szFaceName[LF_FACESIZE];
    WORD wWeight;
    SHORT sSpacing;
    COLORREF crBackColor;
    DWORD lcid;
    DWORD dwReserved;
    SHORT sStyle;
    WORD wKerning;
    BYTE bUnderlineType;
    BYTE bAnimation;
    BYTE bRevAuthor;
    BYTE bReserved1;
};
static_assert(sizeof(CHARFORMATA) == 60 && sizeof(CHARFORMAT2A) == 84);
struct ENLINK {
    NMHDR nmhdr;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    CHARRANGE chrg;
};

// ---- progress bar ----
#define PBS_SMOOTH 0x01u
#define PBS_VERTICAL 0x04u
#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)
#define PBM_SETBARCOLOR (WM_USER + 9)
struct PBRANGE {
    int iLow;
    int iHigh;
};

// ---- header control: styles, item records, hit tests and notifications ----
#define HDS_BUTTONS 0x0002u
#define HDI_WIDTH 0x0001u
#define HDI_TEXT 0x0002u
#define HDI_FORMAT 0x0004u
#define HDI_LPARAM 0x0008u
#define HDI_BITMAP 0x0010u
#define HDF_LEFT 0x0000
#define HDF_RIGHT 0x0001
#define HDF_CENTER 0x0002
#define HDF_JUSTIFYMASK 0x0003
#define HDF_BITMAP 0x2000
#define HDF_STRING 0x4000
#define HDF_OWNERDRAW 0x8000
#define HHT_NOWHERE 0x0001u
#define HHT_ONHEADER 0x0002u
#define HHT_ONDIVIDER 0x0004u
#define HHT_ONDIVOPEN 0x0008u
#define HHT_ABOVE 0x0100u
#define HHT_BELOW 0x0200u
#define HHT_TORIGHT 0x0400u
#define HHT_TOLEFT 0x0800u
#define HDN_FIRST (0u - 300u)
#define HDN_ITEMCLICK (HDN_FIRST - 2u)
#define HDN_ITEMDBLCLICK (HDN_FIRST - 3u)
#define HDN_DIVIDERDBLCLICK (HDN_FIRST - 5u)
#define HDN_BEGINTRACK (HDN_FIRST - 6u)
#define HDN_ENDTRACK (HDN_FIRST - 7u)
#define HDN_TRACK (HDN_FIRST - 8u)
#define ODT_HEADER 100
struct HD_ITEMA {
    UINT mask;
    int cxy;
    LPSTR pszText;
    HBITMAP hbm;
    int cchTextMax;
    int fmt;
    LPARAM lParam;
    int iImage;
    int iOrder;
};
struct HD_HITTESTINFO {
    POINT pt;
    UINT flags;
    int iItem;
};
struct HD_NOTIFYA {
    NMHDR hdr;
    int iItem;
    int iButton;
    HD_ITEMA* pitem;
};
using HD_ITEM = HD_ITEMA;
using HD_NOTIFY = HD_NOTIFYA;

void InitCommonControls();

// ---- dialogs ----
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
inline HWND CreateDialogA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc) {
    return CreateDialogParamA(instance, name, owner, proc, 0);
}
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
inline INT_PTR DialogBoxA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc) {
    return DialogBoxParamA(instance, name, owner, proc, 0);
}
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProcA(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam);
BOOL IsDialogMessageA(HWND dialog, LPMSG msg);
BOOL MapDialogRect(HWND dialog, LPRECT rect);
LONG GetDialogBaseUnits();
HWND GetNextDlgTabItem(HWND dialog, HWND ctl, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND ctl, BOOL previous);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wparam, LPARAM lparam);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buf, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL is_signed);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* ok, BOOL is_signed);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);

// ---- message boxes ----
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD language);

// ---- menus ----
#define MF_INSERT 0x0000u
#define MF_CHANGE 0x0080u
#define MF_APPEND 0x0100u
#define MF_DELETE 0x0200u
#define MF_REMOVE 0x1000u
#define MF_BYCOMMAND 0x0000u
#define MF_BYPOSITION 0x0400u
#define MF_SEPARATOR 0x0800u
#define MF_ENABLED 0x0000u
#define MF_GRAYED 0x0001u
#define MF_DISABLED 0x0002u
#define MF_UNCHECKED 0x0000u
#define MF_CHECKED 0x0008u
#define MF_STRING 0x0000u
#define MF_BITMAP 0x0004u
#define MF_OWNERDRAW 0x0100u
#define MF_POPUP 0x0010u
#define MF_MENUBARBREAK 0x0020u
#define MF_MENUBREAK 0x0040u
#define MF_HILITE 0x0080u
#define MF_DEFAULT 0x1000u
#define MF_RIGHTJUSTIFY 0x4000u
#define MFS_GRAYED 0x0003u
#define MFS_CHECKED MF_CHECKED
#define MFS_HILITE MF_HILITE
#define TPM_LEFTBUTTON 0x0000u
#define TPM_RIGHTBUTTON 0x0002u
#define TPM_LEFTALIGN 0x0000u
#define TPM_CENTERALIGN 0x0004u
#define TPM_RIGHTALIGN 0x0008u
#define TPM_TOPALIGN 0x0000u
#define TPM_VCENTERALIGN 0x0010u
#define TPM_BOTTOMALIGN 0x0020u
#define TPM_NONOTIFY 0x0080u
#define TPM_RETURNCMD 0x0100u
#define TPM_HORPOSANIMATION 0x0400u
#define TPM_VERPOSANIMATION 0x1000u
#define TPM_NOANIMATION 0x4000u
#define MSGF_DIALOGBOX 0
#define MSGF_MESSAGEBOX 1
#define MSGF_MENU 2

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text);
BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
UINT EnableMenuItem(HMENU menu, UINT id, UINT enable);
DWORD CheckMenuItem(HMENU menu, UINT id, UINT check);
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
UINT GetMenuState(HMENU menu, UINT id, UINT flags);
int GetMenuStringA(HMENU menu, UINT id, LPSTR buf, int size, UINT flags);
HMENU GetSubMenu(HMENU menu, int position);
HMENU GetMenu(HWND hwnd);
BOOL SetMenu(HWND hwnd, HMENU menu);
BOOL DrawMenuBar(HWND hwnd);
HMENU GetSystemMenu(HWND hwnd, BOOL revert);
HMENU LoadMenuA(HINSTANCE instance, LPCSTR name);
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
BOOL EndMenu();

// ---- accelerators ----
HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR name);
HACCEL CreateAcceleratorTableA(LPACCEL accels, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
int CopyAcceleratorTableA(HACCEL table, LPACCEL out, int count);
int TranslateAcceleratorA(HWND hwnd, HACCEL table, LPMSG msg);
