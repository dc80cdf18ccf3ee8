#include "base/smart_ptr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Records constructions and destructions, and what the holder looked like
// while the object was being destroyed.
struct Tracked {
    Tracked(int id, std::vector<std::string>& log, smart_ptr<Tracked>* holder = nullptr)
        : id(id), log(log), holder(holder) {
        log.push_back("make " + std::to_string(id));
    }
    ~Tracked() {
        log.push_back("destroy " + std::to_string(id));
        if (holder != nullptr) {
            heldDuringDestruction = holder->object;
            releaseDuringDestruction = holder->Release();  // reaching back in is harmless
        }
    }
    int id;
    std::vector<std::string>& log;
    smart_ptr<Tracked>* holder;
    static inline Tracked* heldDuringDestruction = nullptr;
    static inline int releaseDuringDestruction = -1;
};

template <typename F>
int ThrownCode(F&& access) {
    try {
        access();
    } catch (const smart_ptr_exception& e) {
        return e.Code();
    }
    return 0;
}

TEST(SmartPtrTest, NewHolderIsEmpty) {
    smart_ptr<int> holder;
    EXPECT_EQ(nullptr, holder.object);
    EXPECT_EQ(nullptr, holder.refCount);
    EXPECT_EQ(0, holder.size);
    EXPECT_EQ(0, holder.index);
    EXPECT_EQ(smart_ptr_exception::kEmpty, ThrownCode([&] { holder.Get(); }));
    EXPECT_EQ(0, holder.Release());
    EXPECT_EQ(0, holder.Release());
}

TEST(SmartPtrTest, ReleaseDestroysTheObjectExactlyOnce) {
    std::vector<std::string> log;
    smart_ptr<Tracked> holder;
    holder.Assign(new Tracked(1, log));
    EXPECT_EQ(1, *holder.refCount);
    EXPECT_EQ(1, holder.size);
    EXPECT_EQ(1, holder.Get()->id);
    EXPECT_EQ(1, holder->id);
    EXPECT_EQ(0, holder.Release());
    EXPECT_EQ(0, holder.Release());
    EXPECT_EQ((std::vector<std::string>{"make 1", "destroy 1"}), log);
    EXPECT_EQ(nullptr, holder.object);
    EXPECT_EQ(smart_ptr_exception::kEmpty, ThrownCode([&] { holder.Get(); }));
}

TEST(SmartPtrTest, AssigningAnotherObjectDestroysTheFirstBeforeHoldingTheSecond) {
    std::vector<std::string> log;
    smart_ptr<Tracked> holder;
    holder.Assign(new Tracked(1, log, &holder));
    Tracked* second = new Tracked(2, log);
    holder.Assign(second);
    EXPECT_EQ(nullptr, Tracked::heldDuringDestruction);  // not yet the second
    EXPECT_EQ(0, Tracked::releaseDuringDestruction);
    EXPECT_EQ(second, holder.Get());
    EXPECT_EQ(1, *holder.refCount);
    EXPECT_EQ((std::vector<std::string>{"make 1", "make 2", "destroy 1"}), log);
    holder.Release();
    EXPECT_EQ("destroy 2", log.back());
}

TEST(SmartPtrTest, AssigningNullEmptiesTheHolder) {
    std::vector<std::string> log;
    smart_ptr<Tracked> holder;
    holder.Assign(new Tracked(1, log));
    holder.Assign(nullptr);
    EXPECT_EQ((std::vector<std::string>{"make 1", "destroy 1"}), log);
    EXPECT_EQ(nullptr, holder.object);
    EXPECT_EQ(nullptr, holder.refCount);
    EXPECT_EQ(smart_ptr_exception::kEmpty, ThrownCode([&] { holder.Get(); }));
    holder.Assign(nullptr);  // empty stays empty
    EXPECT_EQ(0, holder.Release());
}

TEST(SmartPtrTest, IndexOutsideTheElementsThrowsCode2) {
    smart_ptr<int> holder;
    holder.Assign(new int(5));
    holder.index = 1;
    EXPECT_EQ(smart_ptr_exception::kOutOfRange, ThrownCode([&] { holder.Get(); }));
    holder.index = -1;
    EXPECT_EQ(smart_ptr_exception::kOutOfRange, ThrownCode([&] { holder.Get(); }));
    holder.index = 0;
    EXPECT_EQ(5, *holder.Get());
}

TEST(SmartPtrTest, DestroyingAHolderReleasesItsObject) {
    std::vector<std::string> log;
    {
        smart_ptr<Tracked> holder;
        holder.Assign(new Tracked(1, log));
    }
    EXPECT_EQ((std::vector<std::string>{"make 1", "destroy 1"}), log);
}

TEST(SmartPtrTest, AnExceptionCanBeCaughtAsTheBaseType) {
    smart_ptr<int> holder;
    try {
        holder.Get();
        FAIL() << "no exception";
    } catch (const IException& e) {
        EXPECT_STREQ("smart ptr exception", e.Message());
        EXPECT_EQ(1, e.Code());
        EXPECT_EQ(0, e.Subcode());
    }
}

TEST(ExceptionTest, HolderExceptionCarriesItsFixedText) {
    const smart_ptr_exception e(2);
    EXPECT_STREQ("smart ptr exception", e.Message());
    EXPECT_EQ(2, e.Code());
    EXPECT_EQ(0, e.Subcode());
    const smart_ptr_exception copy(e);
    EXPECT_STREQ("smart ptr exception", copy.Message());
    EXPECT_EQ(2, copy.Code());
}

bool ZeroFrom(const char* message, int from) {
    for (int i = from; i < IException::kMessageSize; ++i) {
        if (message[i] != '\0') return false;
    }
    return true;
}

TEST(ExceptionTest, LongTextIsCutTo255Bytes) {
    const std::string text(300, 'x');
    const IException e(text.c_str(), 7, 8);
    EXPECT_EQ(255u, std::strlen(e.Message()));
    EXPECT_EQ(std::string(255, 'x'), e.Message());
    EXPECT_TRUE(ZeroFrom(e.Message(), 255));
    EXPECT_EQ(7, e.Code());
    EXPECT_EQ(8, e.Subcode());
}

TEST(ExceptionTest, TextsAtTheLimit) {
    const std::string exact(255, 'y');
    EXPECT_EQ(exact, IException(exact.c_str(), 0, 0).Message());
    const std::string over(256, 'z');
    EXPECT_EQ(std::string(255, 'z'), IException(over.c_str(), 0, 0).Message());
    const IException empty(nullptr, 1, 2);
    EXPECT_STREQ("", empty.Message());
    EXPECT_TRUE(ZeroFrom(empty.Message(), 0));
}

TEST(ExceptionTest, ShortTextLeavesTheRestZeroAndCopiesKeepAllBytes) {
    const IException e("abc", 3, 4);
    EXPECT_STREQ("abc", e.Message());
    EXPECT_TRUE(ZeroFrom(e.Message(), 3));
    const IException copy(e);
    EXPECT_EQ(0, std::memcmp(e.Message(), copy.Message(), IException::kMessageSize));
    EXPECT_EQ(3, copy.Code());
    EXPECT_EQ(4, copy.Subcode());
    IException assigned("other", 0, 0);
    assigned = e;
    EXPECT_EQ(0, std::memcmp(e.Message(), assigned.Message(), IException::kMessageSize));
}

}  // namespace
