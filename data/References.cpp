#include "References.h"

Tform_m* form_m = nullptr;
TF_Report* F_Report = nullptr;
TDM* DM = nullptr;
TStuds* Studs = nullptr;
TPrep* Prep = nullptr;
Typ* yp = nullptr;
Tf_otchet* f_otchet = nullptr;
TAb* Ab = nullptr;
