#include "tools/kettlebox-db/sample_recipes.h"

namespace kb {

QList<SampleRecipe> sampleRecipes() {
    const QString home = QStringLiteral("Kettlebox Kitchen");
    return {
        {QStringLiteral("Breakfast"), QStringLiteral("Buttermilk Pancakes"), home,
         QStringLiteral("200 g flour\n2 tsp baking powder\n1 pinch of salt\n1 tbsp sugar\n"
                        "300 ml buttermilk\n1 egg\n30 g melted butter"),
         QStringLiteral("Mix the flour, baking powder, salt and sugar in a bowl.\n"
                        "Whisk the buttermilk, egg and butter and stir into the flour until just "
                        "combined.\nBake ladlefuls in a hot buttered pan, about 2 minutes a "
                        "side.")},
        {QStringLiteral("Breakfast"), QStringLiteral("Porridge with Apple"), home,
         QStringLiteral("80 g rolled oats\n300 ml milk\n1 pinch of salt\n1 apple\n"
                        "1 tsp cinnamon\nhoney to taste"),
         QStringLiteral("Bring the oats, milk and salt to a simmer, stirring.\n"
                        "Cook gently for 5 minutes until creamy.\n"
                        "Grate in the apple, add the cinnamon and sweeten with honey.")},
        {QStringLiteral("Breakfast"), QStringLiteral("Scrambled Eggs"), home,
         QStringLiteral("3 eggs\n1 tbsp butter\n2 tbsp milk\nsalt and pepper\nchives"),
         QStringLiteral("Beat the eggs with the milk, salt and pepper.\n"
                        "Melt the butter over low heat and pour in the eggs.\n"
                        "Stir slowly until just set and scatter with chives.")},
        {QStringLiteral("Soups"), QStringLiteral("Tomato Soup"), home,
         QStringLiteral("1 kg ripe tomatoes\n1 onion\n2 cloves of garlic\n2 tbsp olive oil\n"
                        "500 ml vegetable stock\nsalt, pepper, basil"),
         QStringLiteral("Soften the chopped onion and garlic in the oil.\n"
                        "Add the chopped tomatoes and the stock and simmer for 20 minutes.\n"
                        "Blend until smooth, season and serve with torn basil.")},
        {QStringLiteral("Soups"), QStringLiteral("Lentil Soup"), home,
         QStringLiteral("250 g red lentils\n1 onion\n2 carrots\n1 tsp cumin\n"
                        "1 l vegetable stock\njuice of half a lemon"),
         QStringLiteral("Fry the diced onion and carrots until soft.\n"
                        "Add the cumin, lentils and stock; simmer for 25 minutes.\n"
                        "Blend half of it, stir back and finish with lemon juice.")},
        {QStringLiteral("Soups"), QStringLiteral("Chicken Noodle Soup"), home,
         QStringLiteral("2 chicken legs\n1 onion\n2 carrots\n2 sticks of celery\n"
                        "100 g egg noodles\nparsley"),
         QStringLiteral("Cover the chicken and vegetables with cold water and simmer for an "
                        "hour.\nTake out the chicken, pick the meat from the bones.\n"
                        "Cook the noodles in the broth, return the meat, add parsley.")},
        {QStringLiteral("Soups"), QStringLiteral("Potato and Leek Soup"), home,
         QStringLiteral("3 leeks\n4 potatoes\n30 g butter\n1 l stock\n100 ml cream"),
         QStringLiteral("Sweat the sliced leeks in the butter.\n"
                        "Add the diced potatoes and stock; simmer for 20 minutes.\n"
                        "Blend, stir in the cream and season.")},
        {QStringLiteral("Main Dishes"), QStringLiteral("Spaghetti Bolognese"), home,
         QStringLiteral("400 g spaghetti\n500 g minced beef\n1 onion\n1 carrot\n"
                        "1 tin of chopped tomatoes\n2 tbsp tomato paste\noregano"),
         QStringLiteral("Brown the mince, add the chopped onion and carrot.\n"
                        "Stir in the tomato paste, tomatoes and oregano; simmer for 40 minutes.\n"
                        "Serve over the cooked spaghetti.")},
        {QStringLiteral("Main Dishes"), QStringLiteral("Roast Chicken"), home,
         QStringLiteral("1 chicken, about 1.5 kg\n1 lemon\n4 cloves of garlic\n"
                        "2 tbsp butter\nthyme, salt, pepper"),
         QStringLiteral("Heat the oven to 200 degrees.\n"
                        "Rub the chicken with butter, salt and pepper; fill it with lemon, garlic "
                        "and thyme.\nRoast for about 80 minutes until the juices run clear.")},
        {QStringLiteral("Main Dishes"), QStringLiteral("Vegetable Curry"), home,
         QStringLiteral("1 cauliflower\n1 tin of chickpeas\n1 onion\n2 tbsp curry paste\n"
                        "400 ml coconut milk\nrice to serve"),
         QStringLiteral("Fry the onion with the curry paste.\n"
                        "Add the cauliflower florets, chickpeas and coconut milk.\n"
                        "Simmer for 20 minutes and serve with rice.")},
        {QStringLiteral("Baking"), QStringLiteral("Banana Bread"), home,
         QStringLiteral("3 ripe bananas\n75 g melted butter\n150 g sugar\n1 egg\n"
                        "200 g flour\n1 tsp baking soda"),
         QStringLiteral("Mash the bananas and mix in the butter, sugar and egg.\n"
                        "Fold in the flour and baking soda.\n"
                        "Bake in a loaf tin at 175 degrees for about an hour.")},
        {QStringLiteral("Baking"), QStringLiteral("Oat Cookies"), home,
         QStringLiteral("125 g butter\n100 g brown sugar\n1 egg\n150 g rolled oats\n"
                        "100 g flour\n1 tsp baking powder\n50 g raisins"),
         QStringLiteral("Cream the butter and sugar, beat in the egg.\n"
                        "Stir in the oats, flour, baking powder and raisins.\n"
                        "Bake spoonfuls at 180 degrees for 12 minutes.")},
        {QStringLiteral("Baking"), QStringLiteral("Soda Bread"), home,
         QStringLiteral("500 g wholemeal flour\n1 tsp baking soda\n1 tsp salt\n"
                        "400 ml buttermilk"),
         QStringLiteral("Mix the dry ingredients, pour in the buttermilk and bring together.\n"
                        "Shape a round loaf and cut a deep cross in the top.\n"
                        "Bake at 200 degrees for 40 minutes; it sounds hollow when done.")},
    };
}

} // namespace kb
