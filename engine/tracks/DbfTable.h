#pragma once

#include <shapefil.h>

#include <span>
#include <string>

// One dBase III table of a song, opened through shapelib and closed when it goes away.
//
// The file operations go through hooks of our own: reading leaves the file's access time
// alone, the first failed read or write is remembered (shapelib itself reports most of them
// only on stderr), and numbers are read without regard to the process's locale.
class DbfTable {
  public:
    struct Field {
        const char* name;
        char type;  // dBase type letter: 'N', 'F' or 'C'
        int width;
        int decimals;
    };

    DbfTable() = default;
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    // Creates the table at path with fields, replacing a file there. False on failure.
    bool Create(const std::string& path, std::span<const Field> fields);
    bool OpenForAppend(const std::string& path);
    bool OpenForReading(const std::string& path);
    // Closes the table, writing what was written to it. False when any read or write failed
    // since it was opened; Error() then says why.
    bool Close();

    bool IsOpen() const { return handle_ != nullptr; }
    DBFHandle Handle() const { return handle_; }
    // errno of the first failure (EIO when shapelib reported one without it); 0 if none.
    int Error() const { return error_; }

    // The field's number when it exists with that type letter and width; -1 otherwise.
    int FindField(const char* name, char type, int width) const;
    int RecordCount() const;

    // Appends a record of field texts, one per field, each at most its field's width (shorter
    // ones are padded as dBase pads them: numbers on the left, text on the right).
    bool Append(std::span<const std::string> fields);

    // The field's text without its padding, or false when the record cannot be read or the
    // field is blank.
    bool ReadText(int record, int field, std::string& text) const;

  private:
    void Fail(int error) const;
    friend struct DbfHookState;

    DBFHandle handle_ = nullptr;
    mutable int error_ = 0;
};
