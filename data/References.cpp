#include "References.h"

Tform_m* form_m = nullptr;
TF_Report* F_Report = nullptr;
TDM* DM = nullptr;
WindowReference<TStuds> Studs;
WindowReference<TPrep> Prep;
Typ* yp = nullptr;
Tf_otchet* f_otchet = nullptr;
TAb* Ab = nullptr;
