#include "core/AlarmTable.h"

#include "core/LocalTime.h"
#include "platform/Text1252.h"

#include <algorithm>
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

std::map<std::string, int> Contents(const std::vector<unsigned char>& image) {
    std::map<std::string, int> counts;
    for (size_t at = 0; at + AlarmRecordSize <= image.size(); at += AlarmRecordSize) {
        TAlarm alarm;
        DecodeAlarm(*reinterpret_cast<const unsigned char(*)[AlarmRecordSize]>(&image[at]), alarm);
        ++counts[ContentKey(alarm)];
    }
    return counts;
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

TReadResult TAlarmTable::ReadFile(const TStamp& stamp) {
    std::vector<unsigned char> contents;
    const TReadResult read = ReadWholeFile(Files, FileName_, contents);
    Stamp = stamp;
    // A file that cannot be read is never replaced: it blocks the saves until
    // it can be read again. One that went away is written anew, whole.
    SaveBlocked = read == TReadResult::Failed;
    if (read == TReadResult::Read) {
        Take(contents);
        Answers.clear();
        RefreshAlarmList();
    }
    return read;
}

TLoadResult TAlarmTable::LoadAlarms() {
    switch (ReadFile(StampOf(FileName_))) {
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
    const TStamp stamp = StampOf(FileName_);
    return !(stamp == Stamp) && ReadFile(stamp) == TReadResult::Read;
}

std::vector<unsigned char> TAlarmTable::Image() const {
    std::vector<unsigned char> image(static_cast<size_t>(AlarmCount) * AlarmRecordSize);
    for (int i = 0; i < AlarmCount; ++i)
        EncodeAlarm(*Alarms[i], *reinterpret_cast<unsigned char(*)[AlarmRecordSize]>(
                                    &image[i * AlarmRecordSize]));
    image.insert(image.end(), Overflow.begin(), Overflow.end());
    return image;
}

bool TAlarmTable::MergeWithFile(std::vector<unsigned char>& image) {
    std::vector<unsigned char> theirs;
    switch (ReadWholeFile(Files, FileName_, theirs)) {
    case TReadResult::Failed:
        return false; // never replace what could not be read
    case TReadResult::NoFile:
        return true; // a file that went away is written anew, whole
    case TReadResult::Read:
        break;
    }
    if (theirs.size() % AlarmRecordSize != 0)
        Damaged = theirs;
    std::map<std::string, int> removed = Contents(Base);
    std::map<std::string, int> added = Contents(image);
    for (auto& [content, count] : removed) {
        int& kept = added[content];
        const int both = std::min(count, kept);
        count -= both;
        kept -= both;
    }
    const std::map<std::string, int> present = Contents(theirs);
    for (const TAnswer& answer : Answers)
        if (present.count(answer.Due) == 0)
            for (const std::string& made : answer.Made)
                if (int& count = added[made]; count > 0)
                    --count;
    std::vector<unsigned char> merged;
    for (size_t at = 0; at + AlarmRecordSize <= theirs.size(); at += AlarmRecordSize) {
        const std::map<std::string, int> one(
            Contents({theirs.begin() + at, theirs.begin() + at + AlarmRecordSize}));
        int& gone = removed[one.begin()->first];
        if (gone > 0)
            --gone;
        else
            merged.insert(merged.end(), theirs.begin() + at, theirs.begin() + at + AlarmRecordSize);
    }
    for (const auto& [content, count] : added)
        for (int n = 0; n < count; ++n)
            merged.insert(merged.end(), content.begin(), content.end());
    Take(merged);
    RefreshAlarmList();
    image = Image();
    return true;
}

bool TAlarmTable::KeepDamagedAside(std::string& notice) {
    const std::tm local = ToLocal(Clock_.Now());
    char stamp[32];
    std::strftime(stamp, sizeof stamp, ".endommage-%Y%m%d-%H%M%S", &local);
    std::string aside = FileName_ + stamp;
    for (int n = 2; ::access(aside.c_str(), F_OK) == 0; ++n)
        aside = FileName_ + stamp + "-" + std::to_string(n);
    if (!SaveFileAtomically(Files, aside, Damaged.data(), Damaged.size()))
        return false;
    notice = FileName_ + " n'était pas fait d'alarmes entières (" + std::to_string(Damaged.size()) +
             " octets) : il est gardé tel quel dans " + aside + " avant d'être réécrit.";
    Damaged.clear();
    return true;
}

bool TAlarmTable::SaveAlarms() {
    std::vector<unsigned char> image = Image();
    bool ok = !SaveBlocked;
    if (ok && !(StampOf(FileName_) == Stamp))
        ok = MergeWithFile(image);
    // The user is told of a damaged file once the save is done: a box left
    // open must not hold back an answered ring.
    std::string notice;
    if (ok && !Damaged.empty())
        ok = KeepDamagedAside(notice);
    if (!ok || !SaveFileAtomically(Files, FileName_, image.data(), image.size())) {
        Messages_->MessageBox(FileWriteError, ErrorCaption, MB_OK);
        return false;
    }
    Base.assign(image.begin(), image.end());
    Stamp = StampOf(FileName_);
    Answers.clear();
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
    TAnswer answer{ContentKey(due), {}};
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
