#pragma once
// Without a display Qt prints a paragraph about platform plugins ("Reinstalling the application
// may fix this problem") and aborts with a core dump. While the application object is being
// made, this says instead in one line that there is no display, and ends the program with
// status 1.
class TDisplayCheck {
public:
  // programName starts each line; withoutWindow ends the advice "start it in a desktop session, or …".
  TDisplayCheck(const char *programName, const char *withoutWindow);
  ~TDisplayCheck();
  TDisplayCheck(const TDisplayCheck &) = delete;
  TDisplayCheck &operator=(const TDisplayCheck &) = delete;
};
