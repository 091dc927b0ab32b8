#pragma once
// Templates and control ids of the settings dialog FrmProperties and its
// three tab pages. The C++ side names them through PropId.
#define IDD_FRMPROPERTIES 300
#define IDD_PROPPAGE_VISUALISATION 301
#define IDD_PROPPAGE_SOUND 302
#define IDD_PROPPAGE_ABOUT 303

#define IDR_DIALOG_BG 310
#define IDR_BANNER 311
#define IDR_ABOUT 312
#define IDR_PREVICON0 313
#define IDR_PREVICON1 314
#define IDR_PREVICON2 315
#define IDR_PREVICON3 316

/* the form */
#define IDC_IMAGE1 1001
#define IDC_SSTAB1 1002
#define IDC_COMMAND3 1003
#define IDC_COMMAND1 1004
/* tab 0 */
#define IDC_FRAME1 1010
#define IDC_LIST1 1011
#define IDC_COMMAND2 1012
#define IDC_CHKBACKGROUND 1013
/* tab 1 */
#define IDC_CHKSOUND 1020
#define IDC_FRAME2 1021
#define IDC_LSTMIDI 1022
#define IDC_CHKRANDOM 1023
#define IDC_FRAME3 1024
#define IDC_CHKEXISTING 1025
#define IDC_TXTCUSTOM 1026
#define IDC_BTCUSTOM 1027
#define IDC_BTPLAY 1028
#define IDC_BTSTOP 1029
#define IDC_IMG1 1030
/* tab 2 */
#define IDC_LBABOUT 1040
#define IDC_LBVISIT 1041
#define IDC_LABEL1 1042
#define IDC_IMAGE2 1043
#define IDC_SHAPE1 1044
#define IDC_SHAPE2 1045

#ifndef RC_INVOKED
enum class PropId : int {
  Image1 = IDC_IMAGE1,
  SSTab1 = IDC_SSTAB1,
  Command3 = IDC_COMMAND3,
  Command1 = IDC_COMMAND1,
  Frame1 = IDC_FRAME1,
  List1 = IDC_LIST1,
  Command2 = IDC_COMMAND2,
  ChkBackground = IDC_CHKBACKGROUND,
  ChkSound = IDC_CHKSOUND,
  Frame2 = IDC_FRAME2,
  LstMidi = IDC_LSTMIDI,
  ChkRandom = IDC_CHKRANDOM,
  Frame3 = IDC_FRAME3,
  ChkExisting = IDC_CHKEXISTING,
  TxtCustom = IDC_TXTCUSTOM,
  BtCustom = IDC_BTCUSTOM,
  BtPlay = IDC_BTPLAY,
  BtStop = IDC_BTSTOP,
  Img1 = IDC_IMG1,
  LbAbout = IDC_LBABOUT,
  LbVisit = IDC_LBVISIT,
  Label1 = IDC_LABEL1,
  Image2 = IDC_IMAGE2,
  Shape1 = IDC_SHAPE1,
  Shape2 = IDC_SHAPE2,
};
#endif
