pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Kavrano.Ui

// One saved measurement: its title alone. Swipe left to delete; the menu of a
// right click or a long press deletes or exports.
SwipeDelegate {
    id: cell

    property string title
    signal deleteRequested()
    signal exportRequested()

    height: 60
    padding: 0
    leftPadding: 16
    rightPadding: 16

    Accessible.role: Accessible.ListItem
    focusPolicy: Qt.StrongFocus   // reached with Tab, as every button
    Accessible.name: cell.title

    // The title stays in place while the row is swiped, ending before the
    // revealed button instead of sliding under the screen's edge.
    contentItem: Item {}
    Label {
        id: titleLabel
        objectName: "titleLabel"
        x: cell.leftPadding
        width: cell.width - cell.leftPadding - cell.rightPadding + Math.min(0, cell.swipe.position) * 88
        height: cell.height
        text: cell.title
        textFormat: Text.PlainText   // a title is whatever was typed or imported
        font.pixelSize: 17
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
    }
    // White at rest and when swiped; the press shows only on a row at rest.
    background: Rectangle {
        color: cell.down && cell.swipe.position === 0 ? Theme.rowPressed : "white"
    }

    swipe.right: Button {
        id: deleteButton
        objectName: "deleteButton"
        width: 88
        height: cell.height
        anchors.right: parent ? parent.right : undefined  // none while the row is torn down
        topInset: 0
        bottomInset: 0
        text: "Delete"
        Accessible.name: text
        contentItem: Label {
            text: deleteButton.text
            color: "white"
            font.pixelSize: 17
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle { color: Theme.destructive }
        onClicked: {
            cell.swipe.close()
            cell.deleteRequested()
        }
    }

    // Takes the right button for itself, so a right click never opens the row.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.RightButton
        onClicked: mouse => contextMenu.popup(mouse.x, mouse.y)
    }

    onPressAndHold: contextMenu.popup(cell.pressX, cell.pressY)

    Menu {
        id: contextMenu
        objectName: "contextMenu"
        // Drawn plainly: the style's raised card is a shader effect, which not
        // every renderer draws, and without it the items float over the rows.
        background: Rectangle {
            implicitWidth: 200
            radius: 8
            color: "white"
            border.color: "#33000000"
        }
        MenuItem {
            objectName: "exportMenuItem"
            text: "Export…"
            Accessible.name: text
            onTriggered: cell.exportRequested()
        }
        MenuItem {
            objectName: "deleteMenuItem"
            text: "Delete"
            Accessible.name: text
            onTriggered: cell.deleteRequested()
        }
    }
}
