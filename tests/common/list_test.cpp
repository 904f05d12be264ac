#include <gtest/gtest.h>

#include "list.h"

namespace {
struct Counted {
    static int alive;
    int value;
    explicit Counted(int v) : value(v) { ++alive; }
    ~Counted() { --alive; }
};
int Counted::alive = 0;

List<Counted>* makeList(int n) {
    auto* l = new List<Counted>;
    for (int i = 1; i <= n; ++i)
        l->append(new Counted(i));
    return l;
}
} // namespace

TEST(List, NewListIsEmpty) {
    List<Counted> l;
    EXPECT_EQ(l.count(), 0);
    EXPECT_EQ(l.position(), 0);
    EXPECT_EQ(l.first(), nullptr);
    EXPECT_TRUE(l.atEnd());
}

TEST(List, AppendKeepsCursorOnFirstAndGetSeeks) {
    List<Counted>* l = makeList(3);
    EXPECT_EQ(l->current()->value, 1);
    EXPECT_EQ(l->position(), 1);
    EXPECT_EQ(l->get(2)->value, 3);
    EXPECT_EQ(l->position(), 3);
    EXPECT_TRUE(l->atEnd());
    EXPECT_EQ(l->first()->value, 1);
    EXPECT_EQ(l->get(1)->value, 2);
    EXPECT_EQ(l->get(0)->value, 1);
    delete l;
}

TEST(List, GetPastTheEndReturnsLast) {
    List<Counted>* l = makeList(3);
    EXPECT_EQ(l->get(3)->value, 3);
    EXPECT_EQ(l->get(100)->value, 3);
    EXPECT_EQ(l->position(), 3);
    delete l;
}

TEST(List, NextAtTailReturnsNullAndStays) {
    List<Counted>* l = makeList(2);
    l->first();
    EXPECT_EQ(l->next()->value, 2);
    EXPECT_EQ(l->next(), nullptr);
    EXPECT_EQ(l->position(), 2);
    EXPECT_EQ(l->current()->value, 2);
    delete l;
}

TEST(List, RemoveTailMovesCursorBack) {
    List<Counted>* l = makeList(3);
    l->remove(3);
    EXPECT_EQ(l->count(), 2);
    EXPECT_EQ(l->position(), 2);
    EXPECT_EQ(l->current()->value, 2);
    EXPECT_TRUE(l->atEnd());
    EXPECT_EQ(Counted::alive, 2);
    delete l;
    EXPECT_EQ(Counted::alive, 0);
}

TEST(List, RemoveHeadKeepsPosition) {
    List<Counted>* l = makeList(3);
    l->remove(1);
    EXPECT_EQ(l->count(), 2);
    EXPECT_EQ(l->position(), 1);
    EXPECT_EQ(l->current()->value, 2);
    EXPECT_EQ(l->first()->value, 2);
    delete l;
}

TEST(List, RemoveMiddleRelinks) {
    List<Counted>* l = makeList(3);
    l->remove(2);
    EXPECT_EQ(l->current()->value, 3);
    EXPECT_EQ(l->position(), 2);
    EXPECT_EQ(l->get(0)->value, 1);
    EXPECT_EQ(l->next()->value, 3);
    EXPECT_EQ(l->next(), nullptr);
    delete l;
}

TEST(List, RemoveOnlyNodeEmptiesList) {
    List<Counted>* l = makeList(1);
    l->remove(1);
    EXPECT_EQ(l->count(), 0);
    EXPECT_EQ(l->position(), 0);
    EXPECT_EQ(l->current(), nullptr);
    EXPECT_EQ(l->first(), nullptr);
    l->append(new Counted(9));
    EXPECT_EQ(l->current()->value, 9);
    EXPECT_EQ(l->position(), 1);
    delete l;
    EXPECT_EQ(Counted::alive, 0);
}

TEST(List, RemoveOnEmptyListIsHarmless) {
    List<Counted> l;
    EXPECT_TRUE(l.remove(1));
    EXPECT_EQ(l.count(), 0);
    EXPECT_EQ(l.get(0), nullptr);
    EXPECT_EQ(l.next(), nullptr);
}

TEST(List, ClearAndDestroyDeleteEveryElementOnce) {
    List<Counted>* l = makeList(5);
    EXPECT_EQ(Counted::alive, 5);
    l->clear();
    EXPECT_EQ(Counted::alive, 0);
    EXPECT_EQ(l->count(), 0);
    EXPECT_EQ(l->position(), 0);
    EXPECT_TRUE(l->atEnd());
    for (int i = 0; i < 4; ++i)
        l->append(new Counted(i));
    delete l;
    EXPECT_EQ(Counted::alive, 0);
}

TEST(List, RemovingDuringWalkSkipsFollowingElement) {
    List<Counted>* l = makeList(4);
    std::vector<int> seen;
    for (Counted* c = l->first(); c;) {
        seen.push_back(c->value);
        if (c->value == 2) l->remove(l->position());
        if (l->atEnd()) break;
        c = l->next();
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(l->count(), 3);
    delete l;
}

TEST(List, RevisionChangesWithMembershipOnly) {
    List<Counted>* l = makeList(3);
    uint32_t r = l->revision();
    l->first();
    l->next();
    l->get(2);
    EXPECT_EQ(l->revision(), r);
    l->append(new Counted(4));
    EXPECT_NE(l->revision(), r);
    r = l->revision();
    l->remove(2);
    EXPECT_NE(l->revision(), r);
    r = l->revision();
    l->clear();
    EXPECT_NE(l->revision(), r);
    delete l;
}
