#pragma once

#include <JuceHeader.h>

#include <map>

namespace qo
{
/**
    A component that owns a tree of named child components and finds any of them by a path of
    names joined with "/", such as "bottomPanel/movieControlsPanel/positionSlider".

    The first component registered under a name wins (a later one with the same name stays a
    child, unregistered, and is still deleted with the container); each registered component carries its path
    in its properties under "qo_componentPath". Deleting the container deletes everything it
    registered, last name first, after detaching the children's relative positioners.

    Message thread only.
*/
class ComponentContainer : public juce::Component
{
public:
    explicit ComponentContainer (const juce::String& name);
    ~ComponentContainer() override;

    /** The property under which a registered component keeps its path. */
    static const juce::Identifier pathProperty;

    /** Adds a component as the topmost child of the component at a path ("" for the container)
        and registers it under its current name; the container owns it from now on. Returns false
        (and deletes the component) when the parent path names nothing.
    */
    bool addComponent (const juce::String& parentPath, juce::Component* component, bool visible);

    /** Adds a component at a full path: it takes the path's last name and goes under the
        component at the rest, as addComponent does.
    */
    bool addComponentAt (const juce::String& path, juce::Component* component, bool visible);

    /** Adds a component the caller owns at a full path, as addComponentAt does, without taking
        it over: a panel that owns its controls is placed in the tree this way, and the paths of
        its named children resolve through it. The caller removes it with removeComponent (which
        then only detaches it) before deleting it, unless the container goes first.
    */
    bool attachComponentAt (const juce::String& path, juce::Component& component, bool visible);

    /** The registered component at a path that the caller knows is there. A path that names
        nothing, or a component of another type, is a programming error: debug builds stop at
        once, naming the path; release builds answer nullptr.
    */
    template <typename ComponentType = juce::Component>
    ComponentType* getRequired (const juce::String& path) const
    {
        auto* found = getComponent<ComponentType> (path);

        if (found == nullptr)
            reportMissing (path);

        return found;
    }

    /** The component at a path, if it is of the wanted type; nullptr otherwise. Past the
        registered components, a path goes on through children by their names: the controls a
        panel owns are found as if they had been registered under it.
    */
    template <typename ComponentType = juce::Component>
    ComponentType* getComponent (const juce::String& path) const
    {
        return dynamic_cast<ComponentType*> (findComponentAt (path));
    }

    /** As getComponent, reporting success and storing the result (nullptr on failure). */
    template <typename ComponentType>
    bool findComponent (const juce::String& path, ComponentType*& result) const
    {
        result = getComponent<ComponentType> (path);
        return result != nullptr;
    }

    /** Detaches, unregisters and deletes the component at a path with its whole subtree. */
    void removeComponent (const juce::String& path);

    /** Splits a path into names: every "/" separates, so "a//b" and "a/" contain empty names. */
    static juce::StringArray splitPath (const juce::String& path);

private:
    struct Node
    {
        Node* parent = nullptr;
        std::map<juce::String, std::unique_ptr<Node>> children;
        juce::String name;
        juce::Component* component = nullptr;
        bool owned = true;
    };

    bool insert (const juce::String& parentPath, juce::Component* component, bool visible, bool owned);
    juce::Component* findComponentAt (const juce::String& path) const;
    Node* findNode (const juce::String& path) const;
    static void reportMissing (const juce::String& path);
    static juce::String pathOf (const Node& node);
    void unregister (Node& node);
    void clearSubtree (Node& node);

    Node root;
    juce::OwnedArray<juce::Component> unregisteredComponents;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ComponentContainer)
};
} // namespace qo
