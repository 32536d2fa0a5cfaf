// The application-wide window references: each names the newest instance of
// its window kind, or none. A reference is set as its instance is created,
// before the instance's own creation step runs.
#pragma once

#include "CardWindow.h"

class Tform_m;
class TF_Report;
class TDM;
class TStuds;
class TPrep;
class Typ;
class Tf_otchet;
class TAb;

extern Tform_m* form_m;
extern TF_Report* F_Report;
extern TDM* DM;
extern WindowReference<TStuds> Studs;
extern WindowReference<TPrep> Prep;
extern Typ* yp;
extern Tf_otchet* f_otchet;
extern TAb* Ab;
