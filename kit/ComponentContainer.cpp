#include "kit/ComponentContainer.h"

#include <cstdlib>
#include <iostream>

namespace qo
{
const juce::Identifier ComponentContainer::pathProperty ("qo_componentPath");

ComponentContainer::ComponentContainer (const juce::String& name) : Component (name)
{
    root.component = this;
}

ComponentContainer::~ComponentContainer()
{
    unregisteredComponents.clear();
    clearSubtree (root);
}

juce::StringArray ComponentContainer::splitPath (const juce::String& path)
{
    juce::StringArray names;
    names.addTokens (path, "/", {});

    // addTokens gives nothing for an empty text, but an empty path still names one empty name.
    if (names.isEmpty())
        names.add ({});

    return names;
}

ComponentContainer::Node* ComponentContainer::findNode (const juce::String& path) const
{
    auto* node = const_cast<Node*> (&root);

    for (const auto& name : splitPath (path))
    {
        const auto found = node->children.find (name);

        if (found == node->children.end())
            return nullptr;

        node = found->second.get();
    }

    return node;
}

juce::Component* ComponentContainer::findComponentAt (const juce::String& path) const
{
    const auto* node = &root;
    juce::Component* component = root.component;

    for (const auto& name : splitPath (path))
    {
        if (node != nullptr)
        {
            if (const auto found = node->children.find (name); found != node->children.end())
            {
                node = found->second.get();
                component = node->component;
                continue;
            }

            node = nullptr;
        }

        // Below the registered tree: a panel's own children, the first one of the name.
        const auto& children = component->getChildren();
        const auto child = std::find_if (children.begin(), children.end(), [&name] (const juce::Component* c) { return c->getName() == name; });

        if (child == children.end())
            return nullptr;

        component = *child;
    }

    return component;
}

juce::String ComponentContainer::pathOf (const Node& node)
{
    juce::StringArray names;

    for (auto* n = &node; n->parent != nullptr; n = n->parent)
        names.insert (0, n->name);

    return names.joinIntoString ("/");
}

bool ComponentContainer::addComponentAt (const juce::String& path, juce::Component* component, bool visible)
{
    if (component != nullptr)
        component->setName (path.fromLastOccurrenceOf ("/", false, false));

    const auto slash = path.lastIndexOfChar ('/');
    return addComponent (slash < 0 ? juce::String() : path.substring (0, slash), component, visible);
}

void ComponentContainer::reportMissing (const juce::String& path)
{
   #if JUCE_DEBUG
    std::cerr << "No component of the expected type is registered at \"" << path << "\"" << std::endl;
    std::abort();
   #else
    juce::ignoreUnused (path);
   #endif
}

bool ComponentContainer::attachComponentAt (const juce::String& path, juce::Component& component, bool visible)
{
    component.setName (path.fromLastOccurrenceOf ("/", false, false));
    const auto slash = path.lastIndexOfChar ('/');
    return insert (slash < 0 ? juce::String() : path.substring (0, slash), &component, visible, false);
}

bool ComponentContainer::addComponent (const juce::String& parentPath, juce::Component* component, bool visible)
{
    return insert (parentPath, component, visible, true);
}

bool ComponentContainer::insert (const juce::String& parentPath, juce::Component* component, bool visible, bool isOwned)
{
    std::unique_ptr<juce::Component> owned (isOwned ? component : nullptr);
    auto* parent = parentPath.isEmpty() ? &root : findNode (parentPath);

    if (component == nullptr || parent == nullptr)
        return false;

    parent->component->addChildComponent (component);
    component->setVisible (visible);
    owned.release();

    const auto name = component->getName();

    // A second component under a taken name stays a child but is not registered: lookups keep
    // finding the first one. The container still owns it, so it is deleted with the container.
    if (parent->children.count (name) != 0)
    {
        if (isOwned)
            unregisteredComponents.add (component);

        return true;
    }

    auto node = std::make_unique<Node>();
    node->owned = isOwned;
    node->parent = parent;
    node->name = name;
    node->component = component;
    component->getProperties().set (pathProperty, pathOf (*node));
    parent->children[name] = std::move (node);
    return true;
}

void ComponentContainer::unregister (Node& node)
{
    node.component->getProperties().remove (pathProperty);
    node.parent->children.erase (node.name);
}

void ComponentContainer::removeComponent (const juce::String& path)
{
    auto* node = findNode (path);

    if (node == nullptr || node == &root)
        return;

    auto* component = node->component;
    std::unique_ptr<juce::Component> owned (node->owned ? component : nullptr);

    // Components registered below are deleted as children of this one; their nodes go with it.
    clearSubtree (*node);

    if (auto* parent = component->getParentComponent())
        parent->removeChildComponent (component);

    unregister (*node);
}

void ComponentContainer::clearSubtree (Node& node)
{
    juce::Array<Node*> children;

    for (auto& [name, child] : node.children)
        children.add (child.get());

    for (int i = children.size(); --i >= 0;)
        children.getUnchecked (i)->component->setPositioner (nullptr);

    for (int i = children.size(); --i >= 0;)
    {
        auto* child = children.getUnchecked (i);
        std::unique_ptr<juce::Component> component (child->component);
        clearSubtree (*child);

        if (auto* parent = component->getParentComponent())
            parent->removeChildComponent (component.get());

        if (! child->owned)
            component.release();

        unregister (*child);
    }
}
} // namespace qo
