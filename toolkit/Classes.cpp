#include "toolkit/Classes.h"

TPersistent::TPersistent(QObject* parent) : QObject(parent) {}
TPersistent::~TPersistent() = default;

TComponent::TComponent(TComponent* AOwner) : TPersistent(AOwner), FOwner(AOwner)
{
    // The owner is also the Qt parent (so children can be found by name), but the owner
    // frees its components itself, through Free, each while it is still whole.
    if (FOwner)
        FOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    FState |= csDestroying;
    // Owned components go first, each while it is whole.
    while (!FComponents.isEmpty()) {
        TComponent* child = FComponents.takeLast();
        child->FOwner = nullptr;
        child->Free();
    }
    Destroying();
    if (FOwner)
        FOwner->RemoveComponent(this);
}

void TComponent::Free()
{
    if (FNoticesSent && (FState & csDestroying)) {
        // Already on its way out (Free from inside a notification): the deletion
        // started elsewhere finishes the job.
        return;
    }
    FState |= csDestroying;
    Destroying();
    delete this;
}

void TComponent::Destroying()
{
    if (FNoticesSent)
        return;
    FNoticesSent = true;
    FState |= csDestroying;
    BeforeDestruction();
    // The owner hears of it first, then whoever asked for a notice.
    if (FOwner)
        FOwner->Notification(this, opRemove);
    const QList<TComponent*> notifies = FFreeNotifies;
    FFreeNotifies.clear();
    for (TComponent* c : notifies) {
        c->FFreeNotifies.removeAll(this);
        c->Notification(this, opRemove);
    }
}

void TComponent::InsertComponent(TComponent* child)
{
    FComponents.append(child);
    Notification(child, opInsert);
}

void TComponent::RemoveComponent(TComponent* child)
{
    FComponents.removeAll(child);
}

void TComponent::FreeNotification(TComponent* AComponent)
{
    if (!AComponent || AComponent == this)
        return;
    if (!FFreeNotifies.contains(AComponent))
        FFreeNotifies.append(AComponent);
    if (!AComponent->FFreeNotifies.contains(this))
        AComponent->FFreeNotifies.append(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
    if (!AComponent)
        return;
    FFreeNotifies.removeAll(AComponent);
    AComponent->FFreeNotifies.removeAll(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == opRemove && AComponent)
        FFreeNotifies.removeAll(AComponent);
}
