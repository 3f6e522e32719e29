#pragma once
// The window's own controls by name, for headers that hold pointers to them.

class CTvListBox;
class CTvListCtrl;
class CustButton;
class CustCheckBox;
class CustEdit;
class CustStatic;
