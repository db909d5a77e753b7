#pragma once
// kstune's own journal: the bench's file and the factory database that the options file names
// ([Journal] Database), the port as the technician chose it, and how a session ends when kstune
// does. journal/ knows no program; this is where kstune tells it what it needs.
#include "journal/JournalDetail.h"

#include <QString>

#include <optional>

// Starts the journal. A failure is told in a message box on the user-interface thread.
void StartBenchJournal();
// Ends a session still connected as the window's closing, then the journal, saying what could
// not be kept.
void EndBenchJournal();

// "COM2 /dev/pts/3": the port as chosen, and the device it led to.
QString BenchPortName(int comNumber);

// How a quit signal ends a session; nullopt for a signal that is not one of kstune's quit signals.
std::optional<TSessionEnd> SessionEndOfSignal(int signal);
