#pragma once

// Croatian for everything a person sees: Qt's own dialogs and buttons (from
// the system's Qt translations), the program's forms, and dates and numbers
// in the Croatian manner. Call once, after the application object is made.
// False when Qt's own translation is not installed (its buttons then stay
// English); the program's own texts are there regardless.
bool installCroatian();
