#include "ui/kit/ComponentContainer.h"

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

bool ComponentContainer::addComponent (const juce::String& parentPath, juce::Component* component, bool visible)
{
    std::unique_ptr<juce::Component> owned (component);
    auto* parent = parentPath.isEmpty() ? &root : findNode (parentPath);

    if (owned == nullptr || parent == nullptr)
        return false;

    parent->component->addChildComponent (component);
    component->setVisible (visible);
    owned.release();

    const auto name = component->getName();

    // A second component under a taken name stays a child but is not registered: lookups keep
    // finding the first one. The container still owns it, so it is deleted with the container.
    if (parent->children.count (name) != 0)
    {
        unregisteredComponents.add (component);
        return true;
    }

    auto node = std::make_unique<Node>();
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

    std::unique_ptr<juce::Component> component (node->component);

    // Components registered below are deleted as children of this one; their nodes go with it.
    clearSubtree (*node);

    if (auto* parent = component->getParentComponent())
        parent->removeChildComponent (component.get());

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

        unregister (*child);
    }
}
} // namespace qo
