#pragma once

class CDB;

// Leads a location to a place: a cell id in cell mode, a location area code in area mode. A
// location already known moves to the new place (a cell keeps its GPS position); an unknown one
// is added. Throws CExceptionDB when the tables cannot be written.
void AssignLocation(CDB& db, bool areaMode, int location, int idPlace);
