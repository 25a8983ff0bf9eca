#include "core/AlarmTable.h"

#include "core/LocalTime.h"
#include "platform/Text1252.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vobrik {

namespace {

constexpr const char* ErrorCaption = "Error";
constexpr const char* FileAccessError = "File Access Error";
constexpr const char* FileWriteError = "File Write Error";

constexpr const char* CapacityCaption = "Vobrik";
} // namespace

const char* const TableFullText = "Vobrik ne peut pas garder plus de 100 alarmes.\n"
                                  "Supprimez-en une avant d'en ajouter une autre.";

namespace {

constexpr const char* TooManyInFileText =
    "ALARMS.VBK contient plus de 100 alarmes.\n"
    "Seules les 100 premières sont affichées ; les autres restent conservées dans le fichier.";

} // namespace

TAlarmTable::TAlarmTable(IAlarmList& list, IMessages& messages, IClock& clock, IFileOps& files,
                         std::string fileName)
    : List(list), Messages_(&messages), Clock_(clock), Files(files),
      FileName_(std::move(fileName)) {}

void TAlarmTable::Clear() {
    while (AlarmCount > 0)
        Alarms[--AlarmCount].reset();
}

namespace {

TAlarmTable::TStamp StampOf(const std::string& path) {
    TAlarmTable::TStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return stamp;
    stamp.Exists = true;
    stamp.Device = st.st_dev;
    stamp.Inode = st.st_ino;
    stamp.Size = static_cast<unsigned long long>(st.st_size);
    stamp.Modified = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.Changed = st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
    return stamp;
}

// The records of an image by content, each with how many times it is there.
std::string ContentKey(const TAlarm& alarm) {
    unsigned char content[AlarmRecordSize];
    ContentImage(alarm, content);
    return std::string(content, content + AlarmRecordSize);
}

TAlarm RecordAt(const std::vector<unsigned char>& image, size_t at) {
    TAlarm alarm;
    DecodeAlarm(*reinterpret_cast<const unsigned char(*)[AlarmRecordSize]>(&image[at]), alarm);
    return alarm;
}

// The same reminder at another time.
std::string TimelessKey(TAlarm alarm) {
    alarm.When = 0;
    return ContentKey(alarm);
}

std::map<std::string, int> Contents(const std::vector<unsigned char>& image) {
    std::map<std::string, int> counts;
    for (size_t at = 0; at + AlarmRecordSize <= image.size(); at += AlarmRecordSize)
        ++counts[ContentKey(RecordAt(image, at))];
    return counts;
}

// How many records of a multiset are also in another, taken out of both.
void CancelCommon(std::map<std::string, int>& a, std::map<std::string, int>& b) {
    for (auto& [content, count] : a) {
        int& other = b[content];
        const int both = std::min(count, other);
        count -= both;
        other -= both;
    }
}

} // namespace

bool TAlarmTable::TStamp::operator==(const TStamp& other) const {
    return Exists == other.Exists && Device == other.Device && Inode == other.Inode &&
           Size == other.Size && Modified == other.Modified && Changed == other.Changed;
}

void TAlarmTable::Take(const std::vector<unsigned char>& contents) {
    if (contents.size() % AlarmRecordSize != 0)
        Damaged = contents;
    Clear();
    Overflow.clear();
    const size_t whole = contents.size() / AlarmRecordSize; // an incomplete tail is dropped
    for (size_t r = 0; r < whole; ++r) {
        const unsigned char* image = contents.data() + r * AlarmRecordSize;
        if (IsFull()) {
            Overflow.assign(image, image + (whole - r) * AlarmRecordSize);
            break;
        }
        auto alarm = std::make_unique<TAlarm>();
        DecodeAlarm(*reinterpret_cast<const unsigned char(*)[AlarmRecordSize]>(image), *alarm);
        alarm->Id = NextId++;
        Alarms[AlarmCount++] = std::move(alarm);
    }
    Base.assign(contents.begin(), contents.begin() + whole * AlarmRecordSize);
}

TReadResult TAlarmTable::ReadStable(std::vector<unsigned char>& contents, TStamp& stamp) {
    for (int tries = 0;; ++tries) {
        stamp = StampOf(FileName_);
        const TReadResult read = ReadWholeFile(Files, FileName_, contents);
        // A file rewritten in place while it was read, to its old size within
        // the clock's tick, keeps its stamp: the bytes read fall short of it.
        // Still changing after that many reads: the save's last check sees it.
        const bool whole = read != TReadResult::Read || contents.size() == stamp.Size;
        if (read == TReadResult::Failed || (whole && StampOf(FileName_) == stamp) || tries == 50)
            return read;
    }
}

TReadResult TAlarmTable::ReadFile() {
    std::vector<unsigned char> contents;
    // A file that cannot be read is never replaced: every save reads it
    // first, and fails until it can be read. One that went away is written
    // anew, whole.
    const TReadResult read = ReadStable(contents, Stamp);
    if (read == TReadResult::Read) {
        Take(contents);
        Answers.clear();
        RefreshAlarmList();
    }
    return read;
}

TLoadResult TAlarmTable::LoadAlarms() {
    switch (ReadFile()) {
    case TReadResult::NoFile:
        return TLoadResult::NoFile;
    case TReadResult::Failed:
        Messages_->MessageBox(FileAccessError, ErrorCaption, MB_OK);
        return TLoadResult::OpenFailed;
    case TReadResult::Read:
        break;
    }
    if (!Overflow.empty())
        Messages_->MessageBox(Windows1252FromUtf8(TooManyInFileText).c_str(), CapacityCaption,
                              MB_OK);
    return TLoadResult::Loaded;
}

bool TAlarmTable::ReloadIfChanged() {
    // Quietly, since a command may be waiting: a failure shows at the next save.
    if (StampOf(FileName_) == Stamp || Contents(Image()) != Contents(Base))
        return false;
    return ReadFile() == TReadResult::Read;
}

std::vector<unsigned char> TAlarmTable::Image() const {
    std::vector<unsigned char> image(static_cast<size_t>(AlarmCount) * AlarmRecordSize);
    for (int i = 0; i < AlarmCount; ++i)
        EncodeAlarm(*Alarms[i], *reinterpret_cast<unsigned char(*)[AlarmRecordSize]>(
                                    &image[i * AlarmRecordSize]));
    image.insert(image.end(), Overflow.begin(), Overflow.end());
    return image;
}

namespace {

using TCounts = std::map<std::string, int>;

// What the user is told of changes of his that met a change elsewhere (his
// removals that are gone from the file): each of his new records is kept.
std::string EditsNotice(const TCounts& removed, TCounts edits) {
    std::string notice;
    if (std::none_of(removed.begin(), removed.end(), [](auto& r) { return r.second > 0; }))
        return notice;
    for (const auto& [content, count] : edits)
        for (int n = 0; n < count; ++n)
            notice += "L'alarme « " +
                      Utf8FromWindows1252(RecordAt({content.begin(), content.end()}, 0).Message) +
                      " » est gardée telle que vous l'avez enregistrée, mais elle avait été "
                      "modifiée ou supprimée ailleurs entre-temps : vérifiez la liste.\n";
    return notice;
}

} // namespace

void TAlarmTable::SettleAnswers(const std::vector<unsigned char>& theirs, const TCounts& present,
                                const TCounts& base, TCounts& removed, TCounts& added,
                                std::vector<bool>& dropped) {
    for (const TAnswer& answer : Answers) {
        if (present.count(answer.Due) != 0)
            continue;
        if (int& due = removed[answer.Due]; due > 0)
            --due; // gone elsewhere: not a change of the user's that met another
        // An earlier time of the same reminder that this table never had is a
        // backup put back meanwhile: the answer has stepped past it.
        bool restored = false;
        for (size_t r = 0; r < dropped.size() && !restored; ++r) {
            const TAlarm older = RecordAt(theirs, r * AlarmRecordSize);
            restored = !dropped[r] && older.When <= answer.When &&
                       TimelessKey(older) == answer.Reminder && base.count(ContentKey(older)) == 0;
            dropped[r] = dropped[r] || restored;
        }
        // Otherwise the reminder was deleted or changed elsewhere, and what
        // the answer made of it must not bring it back.
        for (const std::string& one : answer.Made)
            if (int& count = added[one]; !restored && count > 0)
                --count;
    }
}

bool TAlarmTable::MergeWithFile(std::vector<unsigned char>& image, std::string& notice) {
    std::vector<unsigned char> theirs;
    switch (ReadStable(theirs, Stamp)) {
    case TReadResult::Failed:
        return false; // never replace what could not be read
    case TReadResult::NoFile:
        return true; // a file that went away is written anew, whole
    case TReadResult::Read:
        break;
    }
    if (theirs.size() % AlarmRecordSize != 0)
        Damaged = theirs;
    theirs.resize(theirs.size() / AlarmRecordSize * AlarmRecordSize);
    const TCounts base = Contents(Base);
    notice.clear();
    const TCounts present = Contents(theirs);
    if (present == base)
        return true; // no one else changed it: the table stays as it is
    TCounts removed = base, added = Contents(image), made;
    CancelCommon(removed, added);
    std::vector<bool> dropped(theirs.size() / AlarmRecordSize);
    SettleAnswers(theirs, present, base, removed, added, dropped);
    std::vector<unsigned char> merged;
    for (size_t r = 0; r < dropped.size(); ++r) {
        const auto record = theirs.begin() + static_cast<long>(r * AlarmRecordSize);
        if (int& gone = removed[ContentKey(RecordAt(theirs, r * AlarmRecordSize))]; gone > 0)
            --gone;
        else if (!dropped[r])
            merged.insert(merged.end(), record, record + AlarmRecordSize);
    }
    for (const TAnswer& answer : Answers)
        for (const std::string& one : answer.Made)
            ++made[one];
    TCounts edits = added;
    CancelCommon(made, edits);
    notice = EditsNotice(removed, edits);
    for (const auto& [content, count] : added)
        for (int n = 0; n < count; ++n)
            merged.insert(merged.end(), content.begin(), content.end());
    Take(merged);
    Base = theirs; // what the file holds, until this table is written
    RefreshAlarmList();
    image = Image();
    return true;
}

bool TAlarmTable::KeepDamagedAside(std::string& notice) {
    const std::tm local = ToLocal(Clock_.Now());
    char stamp[32];
    std::strftime(stamp, sizeof stamp, ".endommage-%Y%m%d-%H%M%S", &local);
    // A name that is taken, by a file or by a link someone left there, is
    // passed over, never written through.
    std::string aside = FileName_ + stamp;
    for (int n = 2; !CreateNewFile(Files, aside, Damaged.data(), Damaged.size()); ++n) {
        if (errno != EEXIST || n > 100)
            return false;
        aside = FileName_ + stamp + "-" + std::to_string(n);
    }
    notice = FileName_ + " n'était pas fait d'alarmes entières (" + std::to_string(Damaged.size()) +
             " octets) : il est gardé tel quel dans " + aside + " avant d'être réécrit.";
    Damaged.clear();
    return true;
}

bool TAlarmTable::TrySave(std::vector<unsigned char>& image, std::string& notice) {
    // The file is read at every save, not only when its stamp changed: a file
    // rewritten in place within the clock's tick keeps its stamp. A table that
    // could not read the file merges into it once it can.
    if (!MergeWithFile(image, notice))
        return false;
    std::string aside;
    if (!Damaged.empty() && !KeepDamagedAside(aside))
        return false;
    notice = aside.empty() ? notice : aside + "\n" + notice;
    // Bytes written to the file since it was read (a restore written in
    // place) are never replaced unread.
    const TStamp expected = Stamp;
    return SaveFileAtomically(Files, FileName_, image.data(), image.size(), PrivateMode, [&] {
        const bool wanted = !StillWanted || StillWanted();
        const bool unchanged = StampOf(FileName_) == expected;
        errno = wanted ? EAGAIN : ECANCELED;
        return wanted && unchanged;
    });
}

bool TAlarmTable::SaveAlarms() {
    std::vector<unsigned char> image = Image();
    std::string notice;
    bool saved = false;
    for (int tries = 0; tries < 20 && !saved; ++tries)
        if (!(saved = TrySave(image, notice)) && errno != EAGAIN)
            break;
    if (!saved) {
        Messages_->MessageBox(FileWriteError, ErrorCaption, MB_OK);
        return false;
    }
    Base.assign(image.begin(), image.end());
    Stamp = StampOf(FileName_);
    Answers.clear();
    // The user is told once the save is done: a box left open must not hold
    // back an answered ring, nor a command.
    if (!notice.empty())
        Messages_->MessageBox(Windows1252FromUtf8(notice).c_str(), CapacityCaption, MB_OK);
    return true;
}

void TAlarmTable::RefreshAlarmList() {
    // Bubble sort with a last-swap bound: equal times are never swapped, so
    // reminders due at the same second keep their order.
    int n = AlarmCount - 1;
    while (n > 0) {
        int last = 0;
        for (int i = 0; i < n; ++i) {
            if (Alarms[i]->When > Alarms[i + 1]->When) {
                std::swap(Alarms[i], Alarms[i + 1]);
                last = i;
            }
        }
        n = last;
    }

    List.SetRedraw(false);
    List.Clear();
    for (int i = 0; i < AlarmCount; ++i) {
        const int line = List.AddString(Alarms[i]->Message);
        List.SetItemData(line, Alarms[i]->Id);
    }
    List.SetRedraw(true);
    List.Invalidate();
    List.Refreshed();
}

IMessages& TAlarmTable::SwapMessages(IMessages& messages) {
    IMessages& previous = *Messages_;
    Messages_ = &messages;
    return previous;
}

TAlarm* TAlarmTable::Append(const TAlarm& alarm) {
    if (IsFull())
        return nullptr;
    auto added = std::make_unique<TAlarm>(alarm);
    added->Id = NextId++;
    Alarms[AlarmCount] = std::move(added);
    return Alarms[AlarmCount++].get();
}

void TAlarmTable::RemoveByMovingLast(int i) {
    --AlarmCount;
    Alarms[i] = std::move(Alarms[AlarmCount]);
}

void TAlarmTable::NoteAnswer(const TAlarm& due, const std::vector<TAlarm>& madeOfIt) {
    TAnswer answer{ContentKey(due), TimelessKey(due), due.When, {}};
    for (const TAlarm& made : madeOfIt)
        answer.Made.push_back(ContentKey(made));
    Answers.push_back(std::move(answer));
}

void TAlarmTable::RemoveAt(int slot) {
    for (int i = slot; i + 1 < AlarmCount; ++i)
        Alarms[i] = std::move(Alarms[i + 1]);
    Alarms[--AlarmCount].reset();
}

void TAlarmTable::AddAlarm(IAlarmEditor& editor) {
    if (IsFull()) {
        Messages_->MessageBox(Windows1252FromUtf8(TableFullText).c_str(), CapacityCaption, MB_OK);
        return;
    }
    TAlarm fresh;
    fresh.When = Clock_.Now();
    fresh.Type = atOnce;
    fresh.EveryDays = 0;
    Append(fresh);
    if (editor.EditAlarm(AlarmCount - 1)) {
        RefreshAlarmList();
    } else {
        Alarms[--AlarmCount].reset();
    }
}

int TAlarmTable::FindSelected() {
    const int32_t wanted = List.GetItemData(List.GetSelIndex());
    if (wanted == -1)
        return -1;
    for (int i = 0; i < AlarmCount; ++i)
        if (Alarms[i]->Id == wanted)
            return i;
    return -1;
}

void TAlarmTable::ModifySelectedAlarm(IAlarmEditor& editor) {
    const int slot = FindSelected();
    if (slot >= 0 && editor.EditAlarm(slot))
        RefreshAlarmList();
}

void TAlarmTable::DeleteSelectedAlarm() {
    const int slot = FindSelected();
    if (slot >= 0) {
        RemoveAt(slot);
        RefreshAlarmList();
    }
    SaveAlarms();
}

} // namespace vobrik
